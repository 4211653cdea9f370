#include "server/net/TlsContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace warden {

std::string TakeOpenSslError() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) return "unknown TLS failure";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::shared_ptr<TlsContext> TlsContext::Load(const std::filesystem::path& certificate,
                                             const std::filesystem::path& privateKey,
                                             std::string& error) {
    ERR_clear_error();
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    if (!context) {
        error = TakeOpenSslError();
        return nullptr;
    }
    std::shared_ptr<TlsContext> owner(new TlsContext(context));
    // Older versions have known weaknesses, and every console speaks 1.3.
    SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION);
    // A console keeps its one connection for the whole session: tickets for
    // resuming would only cost a write after each handshake and memory.
    SSL_CTX_set_num_tickets(context, 0);
    SSL_CTX_set_session_cache_mode(context, SSL_SESS_CACHE_OFF);
    // Partial writes let a reply go out as the peer takes it; released
    // buffers keep an idle connection small.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                                  SSL_MODE_RELEASE_BUFFERS);
    // A record's header and body in one read, not two.
    SSL_CTX_set_read_ahead(context, 1);
    if (SSL_CTX_use_certificate_chain_file(context, certificate.c_str()) != 1) {
        error = "cannot use the certificate " + certificate.string() + ": " + TakeOpenSslError();
        return nullptr;
    }
    if (SSL_CTX_use_PrivateKey_file(context, privateKey.c_str(), SSL_FILETYPE_PEM) != 1 &&
        ERR_GET_REASON(ERR_peek_last_error()) != X509_R_KEY_VALUES_MISMATCH) {
        error = "cannot use the private key " + privateKey.string() + ": " + TakeOpenSslError();
        return nullptr;
    }
    if (SSL_CTX_check_private_key(context) != 1) {
        error = "the private key " + privateKey.string() + " does not belong to the certificate " +
                certificate.string();
        ERR_clear_error();
        return nullptr;
    }
    return owner;
}

TlsContext::~TlsContext() {
    SSL_CTX_free(m_context);
}

std::unique_ptr<TlsStream> TlsContext::NewStream(int fd) const {
    SSL* ssl = SSL_new(m_context);
    if (!ssl) return nullptr;
    if (SSL_set_fd(ssl, fd) != 1) {
        SSL_free(ssl);
        return nullptr;
    }
    SSL_set_accept_state(ssl);
    try {
        return std::make_unique<TlsStream>(ssl);
    } catch (...) {
        SSL_free(ssl);
        throw;
    }
}

}  // namespace warden

#include "console/core/TlsClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "protocol/Fingerprint.h"

namespace warden::console {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSliceMs = 10;
constexpr size_t kChunk = 16 * 1024;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool IsDottedAddress(const std::string& host) {
    in_addr ignored{};
    return ::inet_pton(AF_INET, host.c_str(), &ignored) == 1;
}

std::string OpenSslError(const char* what) {
    std::string text(what);
    if (unsigned long code = ERR_get_error(); code != 0) {
        char reason[256];
        ERR_error_string_n(code, reason, sizeof reason);
        text.append(": ").append(reason);
    }
    ERR_clear_error();
    return text;
}

}  // namespace

struct TlsClient::Session {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    BIO* in = nullptr;   // bytes from the socket, owned by `ssl`
    BIO* out = nullptr;  // bytes for the socket, owned by `ssl`
    std::string unsent;  // encrypted bytes the socket has not taken yet

    ~Session() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

TlsClient::TlsClient(int fd) : m_fd(fd), m_session(std::make_unique<Session>()) {
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL, 0) | O_NONBLOCK);
}

TlsClient::~TlsClient() = default;

void TlsClient::Fail(const char* what) {
    if (m_error.empty()) m_error = OpenSslError(what);
}

TlsClient::Handshake TlsClient::Connect(const std::string& host, int timeoutMs,
                                        WaitObserver* waits) {
    Session& s = *m_session;
    ERR_clear_error();
    s.context = SSL_CTX_new(TLS_client_method());
    if (s.context == nullptr || SSL_CTX_set_min_proto_version(s.context, TLS1_3_VERSION) != 1) {
        Fail("TLS");
        return Handshake::kFailed;
    }
    // Recorded, not enforced: SSL_get_verify_result tells afterwards.
    SSL_CTX_set_verify(s.context, SSL_VERIFY_NONE, nullptr);
    // The system's CA store, looked up in its folder by hash as a chain needs
    // it: loading the whole bundle file instead costs every connection some
    // 40 ms. A file named in SSL_CERT_FILE counts too, as for OpenSSL's own
    // tools.
    const char* folder = std::getenv(X509_get_default_cert_dir_env());
    SSL_CTX_load_verify_dir(s.context, folder != nullptr ? folder : X509_get_default_cert_dir());
    if (const char* file = std::getenv(X509_get_default_cert_file_env())) {
        SSL_CTX_load_verify_file(s.context, file);
    }
    s.ssl = SSL_new(s.context);
    s.in = BIO_new(BIO_s_mem());
    s.out = BIO_new(BIO_s_mem());
    if (s.ssl == nullptr || s.in == nullptr || s.out == nullptr) {
        BIO_free(s.in);
        BIO_free(s.out);
        Fail("TLS");
        return Handshake::kFailed;
    }
    BIO_set_mem_eof_return(s.in, -1);  // an empty buffer means "more to come", not the end
    SSL_set_bio(s.ssl, s.in, s.out);
    SSL_set_connect_state(s.ssl);
    const bool byAddress = IsDottedAddress(host);
    X509_VERIFY_PARAM* check = SSL_get0_param(s.ssl);
    if (byAddress) {
        X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str());
    } else {
        SSL_set_tlsext_host_name(s.ssl, host.c_str());
        X509_VERIFY_PARAM_set1_host(check, host.c_str(), 0);
    }

    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ERR_clear_error();
        int result = SSL_do_handshake(s.ssl);
        int error = result == 1 ? SSL_ERROR_NONE : SSL_get_error(s.ssl, result);
        if (error != SSL_ERROR_NONE && error != SSL_ERROR_WANT_READ) {
            Fail("TLS handshake");
            Flush(0);  // the alert that says why, when the socket takes it
            return Handshake::kFailed;
        }
        if (!Flush(MsLeft(deadline))) {
            Fail("TLS handshake: the connection failed");
            return MsLeft(deadline) == 0 ? Handshake::kTimedOut : Handshake::kFailed;
        }
        if (result == 1) break;
        if (MsLeft(deadline) == 0) return Handshake::kTimedOut;
        long pulled = Pull(std::min(kSliceMs, MsLeft(deadline)));
        if (pulled < 0) {
            m_error = "TLS handshake: the server closed the connection";
            return Handshake::kFailed;
        }
        if (pulled == 0 && waits != nullptr) waits->StillWaiting();
    }

    X509* certificate = SSL_get0_peer_certificate(s.ssl);
    if (certificate == nullptr) {
        m_error = "TLS handshake: the server sent no certificate";
        return Handshake::kFailed;
    }
    m_peer.fingerprint = Sha256Fingerprint(*certificate);
    if (m_peer.fingerprint.empty()) {
        Fail("TLS certificate");
        return Handshake::kFailed;
    }
    m_peer.caVerified = SSL_get_verify_result(s.ssl) == X509_V_OK;
    m_protocol = SSL_get_version(s.ssl);
    const SSL_CIPHER* cipher = SSL_get_current_cipher(s.ssl);
    m_cipher = cipher != nullptr ? SSL_CIPHER_get_name(cipher) : "";
    return Handshake::kDone;
}

bool TlsClient::Flush(int timeoutMs) {
    Session& s = *m_session;
    char chunk[kChunk];
    for (int n; (n = BIO_read(s.out, chunk, sizeof chunk)) > 0;) s.unsent.append(chunk, n);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    size_t sent = 0;
    while (sent < s.unsent.size()) {
        ssize_t n = ::send(m_fd, s.unsent.data() + sent, s.unsent.size() - sent,
                           MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && MsLeft(deadline) > 0) {
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, std::min(kSliceMs, MsLeft(deadline)));
            continue;
        }
        s.unsent.erase(0, sent);
        return false;
    }
    s.unsent.clear();
    return true;
}

long TlsClient::Pull(int waitMs) {
    pollfd p{m_fd, POLLIN, 0};
    int ready = ::poll(&p, 1, waitMs);
    if (ready < 0) return errno == EINTR ? 0 : -2;
    if (ready == 0) return 0;
    char chunk[kChunk];
    long moved = 0;
    for (;;) {
        ssize_t n = ::recv(m_fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            BIO_write(m_session->in, chunk, static_cast<int>(n));
            moved += n;
            if (static_cast<size_t>(n) < sizeof chunk) return moved;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return moved;
        // Closed or failed: what came before it still counts.
        if (moved > 0) return moved;
        return n == 0 ? -1 : -2;
    }
}

TlsClient::Received TlsClient::Decrypt(std::string& out) {
    Session& s = *m_session;
    char chunk[kChunk];
    bool some = false;
    for (;;) {
        ERR_clear_error();
        int n = SSL_read(s.ssl, chunk, sizeof chunk);
        if (n > 0) {
            out.append(chunk, static_cast<size_t>(n));
            some = true;
            continue;
        }
        switch (SSL_get_error(s.ssl, n)) {
            case SSL_ERROR_WANT_READ:
                return some ? Received::kSome : Received::kNothing;
            case SSL_ERROR_ZERO_RETURN:
                return some ? Received::kSome : Received::kClosed;
            default:
                Fail("TLS");
                return some ? Received::kSome : Received::kFailed;
        }
    }
}

bool TlsClient::Send(std::string_view bytes, int timeoutMs) {
    Session& s = *m_session;
    while (!bytes.empty()) {
        ERR_clear_error();
        size_t written = 0;
        if (SSL_write_ex(s.ssl, bytes.data(), bytes.size(), &written) != 1) {
            Fail("TLS");
            return false;
        }
        bytes.remove_prefix(written);
    }
    return Flush(timeoutMs);
}

TlsClient::Received TlsClient::Receive(std::string& out, int waitMs) {
    for (bool waited = false;;) {
        Received got = Decrypt(out);
        // Reading may have made OpenSSL answer something (a key update).
        if (!Flush(waitMs)) return got == Received::kSome ? got : Received::kFailed;
        if (got != Received::kNothing || waited) return got;
        long pulled = Pull(waitMs);
        if (pulled == -1) return Received::kClosed;
        if (pulled < 0) return Received::kFailed;
        waited = true;
    }
}

}  // namespace warden::console

#include "bench/TlsLink.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>

#include <csignal>

#include "protocol/LengthFraming.h"

namespace warden::bench {

namespace {

SSL_CTX* ClientContext() {
    static SSL_CTX* const context = [] {
        // OpenSSL writes with write(): a server that closes (refusing a
        // peer, as it should) must not end the tool with SIGPIPE.
        ::signal(SIGPIPE, SIG_IGN);
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_min_proto_version(made, TLS1_3_VERSION);
        SSL_CTX_set_read_ahead(made, 1);
        return made;
    }();
    return context;
}

}  // namespace

std::unique_ptr<TlsLink> TlsLink::Open(int fd) {
    // A request follows the handshake's last flight at once, as a console's does.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    SSL* ssl = SSL_new(ClientContext());
    if (!ssl) return nullptr;
    if (SSL_set_fd(ssl, fd) != 1 || SSL_connect(ssl) != 1) {
        ERR_clear_error();
        SSL_free(ssl);
        return nullptr;
    }
    return std::unique_ptr<TlsLink>(new TlsLink(fd, ssl));
}

TlsLink::~TlsLink() {
    SSL_free(m_ssl);
}

bool TlsLink::Write(std::string_view bytes) {
    size_t written = 0;
    const bool ok = SSL_write_ex(m_ssl, bytes.data(), bytes.size(), &written) == 1;
    if (!ok) ERR_clear_error();
    return ok && written == bytes.size();
}

bool TlsLink::WriteFrame(std::string_view message) {
    std::string frame;
    AppendLengthFrame(frame, message);
    return Write(frame);
}

bool TlsLink::ReadExactly(char* buffer, size_t size, Clock::time_point deadline) {
    size_t have = 0;
    while (have < size) {
        if (SSL_has_pending(m_ssl) == 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
        }
        size_t got = 0;
        if (SSL_read_ex(m_ssl, buffer + have, size - have, &got) != 1) {
            const bool retry = SSL_get_error(m_ssl, 0) == SSL_ERROR_WANT_READ;
            ERR_clear_error();
            if (retry) continue;
            return false;
        }
        have += got;
    }
    return true;
}

bool TlsLink::ReadFrame(std::string& message, std::chrono::milliseconds wait,
                        Clock::time_point* lastByte) {
    const Clock::time_point deadline = Clock::now() + wait;
    char header[kLengthHeaderBytes];
    if (!ReadExactly(header, sizeof header, deadline)) return false;
    message.resize(ReadLengthHeader(header));
    if (!ReadExactly(message.data(), message.size(), deadline)) return false;
    if (lastByte) *lastByte = Clock::now();
    return true;
}

}  // namespace warden::bench

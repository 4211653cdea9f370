#include "tests/support/TlsClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <csignal>
#include <span>
#include <stdexcept>

#include "protocol/Fingerprint.h"
#include "protocol/GbkCodec.h"
#include "protocol/LengthFraming.h"

namespace warden::test {

namespace {

int Connect(int port, const std::string& host) {
    sockaddr_storage address{};
    socklen_t size = 0;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    if (::inet_pton(AF_INET, host.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        size = sizeof *v4;
    } else if (::inet_pton(AF_INET6, host.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        size = sizeof *v6;
    } else {
        return -1;
    }
    const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string Fingerprint(SSL* ssl) {
    X509* cert = SSL_get0_peer_certificate(ssl);
    return cert != nullptr ? Sha256Fingerprint(*cert) : std::string();
}

}  // namespace

TlsClient::TlsClient(int port, const std::string& host, int maxVersion) {
    // OpenSSL writes with write(): a server that closes a hostile test peer,
    // as it should, must not end the test program with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    m_fd = Connect(port, host);
    if (m_fd < 0) return;
    m_context = SSL_CTX_new(TLS_client_method());
    if (maxVersion) {
        SSL_CTX_set_min_proto_version(m_context, 0);
        SSL_CTX_set_max_proto_version(m_context, maxVersion);
        SSL_CTX_set_security_level(m_context, 0);
    }
    SSL* ssl = SSL_new(m_context);
    SSL_set_fd(ssl, m_fd);
    if (SSL_connect(ssl) != 1) {
        ERR_clear_error();
        SSL_free(ssl);
        return;
    }
    m_ssl = ssl;
    m_fingerprint = Fingerprint(ssl);
}

TlsClient::~TlsClient() {
    if (m_ssl) SSL_free(m_ssl);
    if (m_context) SSL_CTX_free(m_context);
    if (m_fd >= 0) ::close(m_fd);
}

bool TlsClient::SendRaw(const std::string& bytes) {
    size_t written = 0;
    return m_ssl && SSL_write_ex(m_ssl, bytes.data(), bytes.size(), &written) == 1 &&
           written == bytes.size();
}

bool TlsClient::Send(const std::string& request) {
    const std::optional<std::string> gbk = Utf8ToGbk(request);
    if (!gbk) throw std::invalid_argument("request not encodable in GBK");
    std::string frame;
    AppendLengthFrame(frame, *gbk);
    return SendRaw(frame);
}

bool TlsClient::ReadExactly(char* buffer, size_t size, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    size_t have = 0;
    while (have < size) {
        if (SSL_pending(m_ssl) == 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
        }
        size_t got = 0;
        if (SSL_read_ex(m_ssl, buffer + have, size - have, &got) != 1) {
            const int error = SSL_get_error(m_ssl, 0);
            ERR_clear_error();
            if (error == SSL_ERROR_WANT_READ) continue;  // a record without data
            return false;
        }
        have += got;
    }
    return true;
}

std::optional<std::string> TlsClient::Receive(std::chrono::milliseconds wait) {
    if (!m_ssl) return std::nullopt;
    char header[kLengthHeaderBytes];
    if (!ReadExactly(header, sizeof header, wait)) return std::nullopt;
    std::string body(ReadLengthHeader(header), '\0');
    if (!ReadExactly(body.data(), body.size(), wait)) return std::nullopt;
    std::optional<std::string> utf8 = GbkToUtf8(body);
    if (!utf8) throw std::runtime_error("reply is not valid GBK");
    return utf8;
}

std::optional<std::string> TlsClient::Ask(const std::string& request,
                                          std::chrono::milliseconds wait) {
    if (!Send(request)) return std::nullopt;
    return Receive(wait);
}

bool TlsClient::LoginAsAdmin(const std::string& password) {
    return Ask("LoginCheck.asp?username=admin`password=" + password + "`ver=1.5") == "success|1";
}

bool TlsClient::ClosedByServer(std::chrono::milliseconds wait) {
    if (!m_ssl) return true;
    char byte;
    while (ReadExactly(&byte, 1, wait)) {
    }
    // Ended by the peer rather than by the wait.
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    return ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) <= 0;
}

}  // namespace warden::test

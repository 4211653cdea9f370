// A console connection to the TLS port, for end-to-end tests: a blocking
// socket, TLS 1.3 (or what `maxVersion` allows, to try older ones), and the
// port's frames. It trusts any certificate and remembers its fingerprint.
#pragma once

#include <chrono>
#include <optional>
#include <string>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;

namespace warden::test {

class TlsClient {
  public:
    // Connects to `host` (an IPv4 or IPv6 literal) and handshakes; see
    // Connected. `maxVersion`: an OpenSSL version constant, 0 for any.
    explicit TlsClient(int port, const std::string& host = "127.0.0.1", int maxVersion = 0);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // True when the handshake succeeded.
    bool Connected() const { return m_ssl != nullptr; }
    // "AB:CD:...", as the server prints it.
    const std::string& PeerFingerprint() const { return m_fingerprint; }

    // Sends `request` (UTF-8, encoded to GBK) as one frame.
    bool Send(const std::string& request);
    // Sends raw bytes inside TLS, without framing.
    bool SendRaw(const std::string& bytes);
    // One reply frame (decoded), or nullopt when none is whole within `wait`
    // or the server closed the connection.
    std::optional<std::string> Receive(std::chrono::milliseconds wait = std::chrono::seconds(30));
    std::optional<std::string> Ask(const std::string& request,
                                   std::chrono::milliseconds wait = std::chrono::seconds(30));
    bool LoginAsAdmin(const std::string& password = "admin");
    // True once the server has closed the connection (waits up to `wait`).
    bool ClosedByServer(std::chrono::milliseconds wait = std::chrono::seconds(5));
    int Fd() const { return m_fd; }

  private:
    bool ReadExactly(char* buffer, size_t size, std::chrono::milliseconds wait);

    int m_fd = -1;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    std::string m_fingerprint;
};

}  // namespace warden::test

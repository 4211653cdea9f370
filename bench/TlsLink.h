// The client side of one connection to the TLS port, for the bench tools:
// a handshake over a connected blocking socket (any certificate is taken:
// the tools measure, they do not check who answers), then the port's length
// frames.
//
// Thread-safety: a TlsLink belongs to one thread at a time.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

using SSL = struct ssl_st;

namespace warden::bench {

class TlsLink {
  public:
    using Clock = std::chrono::steady_clock;

    // Handshakes over `fd` (not owned, connected); nullptr when that fails.
    static std::unique_ptr<TlsLink> Open(int fd);
    ~TlsLink();
    TlsLink(const TlsLink&) = delete;
    TlsLink& operator=(const TlsLink&) = delete;

    // Sends `bytes` as they are (no frame).
    bool Write(std::string_view bytes);
    bool WriteFrame(std::string_view message);
    // Reads one frame within `wait`; `lastByte` gets when its last bytes
    // came. False when none is whole by then or the connection ended.
    bool ReadFrame(std::string& message, std::chrono::milliseconds wait,
                   Clock::time_point* lastByte = nullptr);

  private:
    TlsLink(int fd, SSL* ssl) : m_fd(fd), m_ssl(ssl) {}
    bool ReadExactly(char* buffer, size_t size, Clock::time_point deadline);

    int m_fd;
    SSL* m_ssl;
};

}  // namespace warden::bench

// One encrypted connection's TLS state over a non-blocking socket: OpenSSL
// reads and writes the descriptor itself, and each call says when it must
// wait for the socket to become readable or writable. An idle stream keeps
// no record buffers (they are released between records), so thousands of
// idle connections cost little.
//
// Thread-safety: none; the owner serialises every call.
#pragma once

#include <cstddef>

using SSL = struct ssl_st;

namespace warden {

class TlsStream {
  public:
    enum class Io {
        kDone,       // the step is finished, or some bytes moved
        kWantRead,   // try again once the socket is readable
        kWantWrite,  // try again once the socket is writable
        kClosed,     // the peer closed, the socket failed, or TLS failed
    };

    // Takes ownership of `ssl`, which is set up for the server side.
    explicit TlsStream(SSL* ssl) : m_ssl(ssl) {}
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    // One step of the handshake.
    Io Handshake();
    // Reads what is there, up to `size` bytes, into `buffer`.
    Io Read(char* buffer, size_t size, size_t& got);
    // Writes as much of `data` as the socket takes now.
    Io Write(const char* data, size_t size, size_t& wrote);
    // True when bytes the socket gave are held here unread (read ahead):
    // the socket will not say it is readable for them.
    bool HasPending() const;
    // Tells the peer that nothing more comes (close_notify), as far as the
    // socket takes it now; never waits.
    void Shutdown();

  private:
    Io Outcome(int result);

    SSL* m_ssl;
};

}  // namespace warden

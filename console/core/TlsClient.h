// The console's end of TLS 1.3 on a connected socket: the handshake, the
// server's certificate, and encrypted bytes in and out. OpenSSL works on
// memory buffers here and the socket is read and written by this class
// itself, so that no write can raise SIGPIPE and every wait is a poll with a
// limit, in the same small slices as the plain transport's waits.
//
// The handshake never fails for want of a trusted certificate: it records
// whether the system's CA store vouches for it, and the caller decides (the
// console also trusts a certificate the administrator has accepted before).
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "console/core/PeerCertificate.h"
#include "console/core/WaitObserver.h"

namespace warden::console {

class TlsClient {
  public:
    // REQUIRES: `fd` is a connected stream socket that outlives this object;
    // it is made non-blocking.
    explicit TlsClient(int fd);
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    enum class Handshake { kDone, kFailed, kTimedOut };
    // Runs the handshake with `host` (a host name, sent as the server name
    // and checked against the certificate, or a dotted IPv4 address, checked
    // against its addresses). Calls `waits` (may be null) about every 10 ms.
    Handshake Connect(const std::string& host, int timeoutMs, WaitObserver* waits);
    // Why the handshake failed, in OpenSSL's words.
    const std::string& Error() const { return m_error; }
    // REQUIRES: Connect returned kDone.
    const PeerCertificate& Peer() const { return m_peer; }
    // What the handshake agreed on, in OpenSSL's words: "TLSv1.3",
    // "TLS_AES_256_GCM_SHA384". REQUIRES: Connect returned kDone.
    const std::string& Protocol() const { return m_protocol; }
    const std::string& Cipher() const { return m_cipher; }

    // Encrypts `bytes` and sends them whole, waiting at most `timeoutMs`
    // while the socket is full. False when the connection failed or stalled.
    bool Send(std::string_view bytes, int timeoutMs);

    enum class Received { kSome, kNothing, kClosed, kFailed };
    // Appends to `out` what can be decrypted now; when nothing can, waits at
    // most `waitMs` for bytes to arrive and tries once more.
    Received Receive(std::string& out, int waitMs);

  private:
    struct Session;
    // Sends what OpenSSL has encrypted; false when the socket failed or
    // stayed full for `timeoutMs`.
    bool Flush(int timeoutMs);
    // Moves what the socket has into OpenSSL, waiting at most `waitMs` for
    // the first byte: >0 bytes moved, 0 none within the wait, -1 closed, -2
    // failed.
    long Pull(int waitMs);
    // Decrypts into `out` until nothing more can be decrypted.
    Received Decrypt(std::string& out);
    void Fail(const char* what);

    int m_fd;
    std::unique_ptr<Session> m_session;
    PeerCertificate m_peer;
    std::string m_protocol;
    std::string m_cipher;
    std::string m_error;
};

}  // namespace warden::console

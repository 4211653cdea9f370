// The server's side of TLS: its certificate and key, loaded once, and the
// rules every encrypted connection follows (TLS 1.3 only, no session
// tickets). Each connection gets its own TlsStream from it.
//
// Thread-safety: immutable once loaded; NewStream may be called from any
// thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "server/net/TlsStream.h"

using SSL_CTX = struct ssl_ctx_st;

namespace warden {

class TlsContext {
  public:
    // Loads the certificate (PEM, may carry its chain) and the private key
    // that must match it. Nullptr, with the reason in `error`, when either
    // cannot be read or they do not belong together.
    static std::shared_ptr<TlsContext> Load(const std::filesystem::path& certificate,
                                            const std::filesystem::path& privateKey,
                                            std::string& error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // A server-side stream over the connected socket `fd` (not owned);
    // nullptr when OpenSSL has no memory for one.
    std::unique_ptr<TlsStream> NewStream(int fd) const;

  private:
    explicit TlsContext(SSL_CTX* context) : m_context(context) {}
    SSL_CTX* m_context;
};

// The last OpenSSL error of this thread as text, and the queue emptied.
std::string TakeOpenSslError();

}  // namespace warden

#include "server/net/TlsStream.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace warden {

TlsStream::~TlsStream() {
    SSL_free(m_ssl);
}

TlsStream::Io TlsStream::Outcome(int result) {
    switch (SSL_get_error(m_ssl, result)) {
        case SSL_ERROR_NONE:
            return Io::kDone;
        case SSL_ERROR_WANT_READ:
            return Io::kWantRead;
        case SSL_ERROR_WANT_WRITE:
            return Io::kWantWrite;
        default:
            // The error queue is the thread's, and the next connection served
            // on this thread must not find this one's errors in it.
            ERR_clear_error();
            return Io::kClosed;
    }
}

TlsStream::Io TlsStream::Handshake() {
    ERR_clear_error();
    const int result = SSL_do_handshake(m_ssl);
    return result == 1 ? Io::kDone : Outcome(result);
}

TlsStream::Io TlsStream::Read(char* buffer, size_t size, size_t& got) {
    ERR_clear_error();
    got = 0;
    const int result = SSL_read_ex(m_ssl, buffer, size, &got);
    return result == 1 ? Io::kDone : Outcome(result);
}

TlsStream::Io TlsStream::Write(const char* data, size_t size, size_t& wrote) {
    ERR_clear_error();
    wrote = 0;
    const int result = SSL_write_ex(m_ssl, data, size, &wrote);
    return result == 1 ? Io::kDone : Outcome(result);
}

bool TlsStream::HasPending() const {
    return SSL_has_pending(m_ssl) == 1;
}

void TlsStream::Shutdown() {
    ERR_clear_error();
    SSL_shutdown(m_ssl);
    ERR_clear_error();
}

}  // namespace warden

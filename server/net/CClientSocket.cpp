#include "server/net/CClientSocket.h"

#include "server/net/ServerEngine.h"

namespace warden {

CClientSocket::CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket)
    : m_engine(engine), m_socket(std::move(socket)) {
    ++m_engine.m_openConnections;
}

CClientSocket::~CClientSocket() {
    // Closed before it stops counting, so a count of zero means every
    // descriptor is back.
    asio::error_code ignored;
    m_socket.close(ignored);
    --m_engine.m_openConnections;
}

void CClientSocket::Watch() {
    m_engine.m_watched.insert(this);
    m_socket.async_wait(asio::socket_base::wait_read,
                        [self = shared_from_this()](const asio::error_code& ec) {
                            {
                                std::lock_guard lock(self->m_engine.m_watchedMutex);
                                self->m_engine.m_watched.erase(self.get());
                            }
                            if (ec) return;  // cancelled: the connection is released
                            self->m_engine.StartWorker(self);
                        });
}

void CClientSocket::Cancel() {
    asio::error_code ignored;
    m_socket.cancel(ignored);
}

}  // namespace warden

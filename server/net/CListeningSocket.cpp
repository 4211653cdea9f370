#include "server/net/CListeningSocket.h"

#include "server/net/ServerEngine.h"

namespace warden {

CListeningSocket::CListeningSocket(ServerEngine& engine, asio::io_context& io)
    : m_engine(engine), m_acceptor(io) {}

bool CListeningSocket::Listen(uint16_t port) {
    asio::error_code ec;
    asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::any(), port);
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec) m_acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) m_acceptor.bind(endpoint, ec);
    if (!ec) m_acceptor.listen(5, ec);
    if (ec) {
        asio::error_code ignored;
        m_acceptor.close(ignored);
        return false;
    }
    return true;
}

uint16_t CListeningSocket::Port() const {
    asio::error_code ec;
    return m_acceptor.local_endpoint(ec).port();
}

void CListeningSocket::Accept() {
    m_acceptor.async_accept([this](const asio::error_code& ec, asio::ip::tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !m_acceptor.is_open()) return;
        // A failed accept (the peer gave up, or no descriptors are left) drops
        // only that connection; the listener keeps listening.
        if (!ec) m_engine.AcceptConnection(std::move(socket));
        Accept();
    });
}

void CListeningSocket::Close() {
    asio::error_code ignored;
    m_acceptor.close(ignored);
}

}  // namespace warden

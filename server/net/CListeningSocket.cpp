#include "server/net/CListeningSocket.h"

#include <sys/socket.h>

#include <fstream>

#include "server/net/ServerEngine.h"

namespace warden {

int SystemMaxBacklog() {
    // The kernel silently caps a larger backlog at this value, so asking for
    // it gives the most the system allows.
    int max = 0;
    std::ifstream in("/proc/sys/net/core/somaxconn");
    if (in >> max && max > 0) return max;
    return SOMAXCONN;
}

CListeningSocket::CListeningSocket(ServerEngine& engine, asio::io_context& io)
    : m_engine(engine), m_acceptor(io), m_pause(io) {}

bool CListeningSocket::Listen(uint16_t port) {
    asio::error_code ec;
    asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::any(), port);
    const int backlog =
        m_engine.m_options.backlog > 0 ? m_engine.m_options.backlog : SystemMaxBacklog();
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec) m_acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) m_acceptor.bind(endpoint, ec);
    if (!ec) m_acceptor.listen(backlog, ec);
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
        if (ec) {
            PauseAccepting(ec);
            return;
        }
        if (m_failing) {
            m_failing = false;
            m_engine.Notice(ServerEngine::kAccept, "accepting connections again", 0);
        }
        m_engine.AcceptConnection(std::move(socket));
        Accept();
    });
}

void CListeningSocket::PauseAccepting(const asio::error_code& why) {
    // Trying again at once would fail again at once (a descriptor frees only
    // when a connection ends): wait, and leave the pending connections in the
    // backlog meanwhile.
    if (!m_failing) {
        m_failing = true;
        m_engine.Notice(ServerEngine::kAccept,
                        "cannot accept connections (" + why.message() + ") with " +
                            std::to_string(m_engine.OpenConnections()) +
                            " open; trying again every " +
                            std::to_string(m_engine.m_options.acceptPauseMs) + " ms",
                        0);
    }
    m_pause.expires_after(std::chrono::milliseconds(m_engine.m_options.acceptPauseMs));
    m_pause.async_wait([this](const asio::error_code& ec) {
        if (!ec && m_acceptor.is_open()) Accept();
    });
}

void CListeningSocket::Close() {
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_pause.cancel();
}

}  // namespace warden

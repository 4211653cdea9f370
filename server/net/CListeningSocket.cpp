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

CListeningSocket::CListeningSocket(ServerEngine& engine, asio::io_context& io,
                                   std::shared_ptr<const TlsContext> tls)
    : m_engine(engine), m_tls(std::move(tls)), m_acceptor(io), m_pause(io) {}

bool CListeningSocket::Listen(const std::optional<asio::ip::address>& address, uint16_t port) {
    if (address) return Bind({*address, port}, false);
    // One socket for both families where the system has IPv6; IPv4 alone
    // where it has not.
    return Bind({asio::ip::address_v6::any(), port}, true) ||
           Bind({asio::ip::address_v4::any(), port}, false);
}

bool CListeningSocket::Bind(const asio::ip::tcp::endpoint& endpoint, bool dualStack) {
    asio::error_code ec;
    const int backlog =
        m_engine.m_options.backlog > 0 ? m_engine.m_options.backlog : SystemMaxBacklog();
    m_acceptor.open(endpoint.protocol(), ec);
    if (!ec) m_acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec && dualStack) m_acceptor.set_option(asio::ip::v6_only(false), ec);
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

std::string CListeningSocket::Endpoint() const {
    asio::error_code ec;
    const asio::ip::tcp::endpoint endpoint = m_acceptor.local_endpoint(ec);
    const std::string address = endpoint.address().to_string();
    return (endpoint.address().is_v6() ? "[" + address + "]" : address) + ":" +
           std::to_string(endpoint.port());
}

void CListeningSocket::Accept() {
    m_acceptor.async_accept(
        [self = shared_from_this()](const asio::error_code& ec, asio::ip::tcp::socket socket) {
            if (ec == asio::error::operation_aborted || !self->m_acceptor.is_open()) return;
            if (ec) {
                self->PauseAccepting(ec);
                return;
            }
            if (self->m_failing) {
                self->m_failing = false;
                self->m_engine.Notice(ServerEngine::kAccept, "accepting connections again", 0);
            }
            self->m_engine.AcceptConnection(std::move(socket), self->m_tls.get());
            self->Accept();
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
    m_pause.async_wait([self = shared_from_this()](const asio::error_code& ec) {
        if (!ec && self->m_acceptor.is_open()) self->Accept();
    });
}

void CListeningSocket::Close() {
    asio::error_code ignored;
    m_acceptor.close(ignored);
    m_pause.cancel();
}

}  // namespace warden

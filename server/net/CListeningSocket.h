// The listening socket: accepts consoles on the event thread and hands each
// accepted socket to the engine. When an accept fails (typically because the
// process has no descriptor left) it pauses for a moment before it tries
// again, so it never spins, and the connections it has keep being served.
// Its waits hold it alive: an accept already completed when the listener is
// closed and dropped still finds it (and finds it closed).
//
// Thread-safety: after Start of the engine, used only on the event thread.
#pragma once

#include <asio.hpp>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace warden {

class ServerEngine;
class TlsContext;

class CListeningSocket : public std::enable_shared_from_this<CListeningSocket> {
  public:
    // `tls`, when given, makes every accepted connection speak TLS with it.
    CListeningSocket(ServerEngine& engine, asio::io_context& io,
                     std::shared_ptr<const TlsContext> tls);

    // Binds `address` (nullopt: every IPv4 and IPv6 address) on `port` and
    // listens with the engine's backlog (by default the system's maximum).
    bool Listen(const std::optional<asio::ip::address>& address, uint16_t port);
    uint16_t Port() const;
    // Where it listens, as "0.0.0.0:8800" or "[::]:8801".
    std::string Endpoint() const;

    // Starts the accept loop. REQUIRES: Listen succeeded.
    void Accept();
    void Close();

  private:
    void PauseAccepting(const asio::error_code& why);

    bool Bind(const asio::ip::tcp::endpoint& endpoint, bool dualStack);

    ServerEngine& m_engine;
    const std::shared_ptr<const TlsContext> m_tls;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_pause;
    bool m_failing = false;  // the last accept failed; said once until one succeeds
};

// The largest listen backlog the system grants.
int SystemMaxBacklog();

}  // namespace warden

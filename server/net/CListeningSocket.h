// The listening socket: accepts consoles on the event thread and hands each
// accepted socket to the engine. When an accept fails (typically because the
// process has no descriptor left) it pauses for a moment before it tries
// again, so it never spins, and the connections it has keep being served.
//
// Thread-safety: after Start of the engine, used only on the event thread.
#pragma once

#include <asio.hpp>

#include <cstdint>

namespace warden {

class ServerEngine;

class CListeningSocket {
  public:
    CListeningSocket(ServerEngine& engine, asio::io_context& io);

    // Binds every local address on `port` and listens with the engine's
    // backlog (by default the system's maximum).
    bool Listen(uint16_t port);
    uint16_t Port() const;

    // Starts the accept loop. REQUIRES: Listen succeeded.
    void Accept();
    void Close();

  private:
    void PauseAccepting(const asio::error_code& why);

    ServerEngine& m_engine;
    asio::ip::tcp::acceptor m_acceptor;
    asio::steady_timer m_pause;
    bool m_failing = false;  // the last accept failed; said once until one succeeds
};

// The largest listen backlog the system grants.
int SystemMaxBacklog();

}  // namespace warden

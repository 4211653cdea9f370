// The listening socket: accepts consoles on the event thread and hands each
// accepted socket to the engine.
#pragma once

#include <asio.hpp>

#include <cstdint>

namespace warden {

class ServerEngine;

class CListeningSocket {
  public:
    CListeningSocket(ServerEngine& engine, asio::io_context& io);

    // Binds every local address on `port` and listens with a backlog of 5.
    bool Listen(uint16_t port);
    uint16_t Port() const;

    // Starts the accept loop. REQUIRES: Listen succeeded.
    void Accept();
    void Close();

  private:
    ServerEngine& m_engine;
    asio::ip::tcp::acceptor m_acceptor;
};

}  // namespace warden

// One accepted console connection. The event thread watches it for data; when
// data arrives the engine hands it to one worker, and only after that worker
// has answered is it watched again, so one connection never has two requests
// in flight and no two threads use its socket at once. It is freed when the
// last holder lets go: after the peer closes, or when the engine stops.
#pragma once

#include <asio.hpp>

#include <memory>

#include "server/net/Session.h"

namespace warden {

class ServerEngine;

class CClientSocket : public std::enable_shared_from_this<CClientSocket> {
  public:
    CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket);
    ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    // Waits (on the event thread) until data or a close arrives, then starts a
    // worker. REQUIRES: the engine's watch lock is held; no wait is pending.
    void Watch();

    // Ends the wait begun by Watch. REQUIRES: the engine's watch lock is held.
    void Cancel();

    int NativeHandle() { return m_socket.native_handle(); }
    Session& GetSession() { return m_session; }

  private:
    ServerEngine& m_engine;
    asio::ip::tcp::socket m_socket;
    Session m_session;
};

}  // namespace warden

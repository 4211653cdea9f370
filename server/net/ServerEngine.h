// The network side of the server: one event thread that accepts connections
// and waits for them to become readable, and a bounded pool of workers that
// read, process and answer one request at a time per connection.
//
// Thread-safety: CreateListener, Start and Stop are called by the owner's
// thread; OpenConnections may be read from anywhere.
#pragma once

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "server/net/RequestProcessor.h"
#include "server/net/WorkerPool.h"

namespace warden {

class CListeningSocket;
class CClientSocket;

struct EngineOptions {
    size_t workers = 16;
    size_t maxRequest = 1 << 20;  // bytes on the wire
    int graceMs = 20;             // see FrameOptions
};

class ServerEngine {
  public:
    ServerEngine(EngineOptions options, RequestProcessor processor);
    ~ServerEngine();  // Stop()
    ServerEngine(const ServerEngine&) = delete;
    ServerEngine& operator=(const ServerEngine&) = delete;

    // Listens on every local address on the port that `portText` names, read
    // the way atoi reads it (no leading digits: port 0, an ephemeral port).
    // False when the socket cannot be bound or listen.
    bool CreateListener(std::string_view portText);

    // Drops the listener again (a Start that failed later on).
    void CloseListener();

    // The port actually listened on, once CreateListener succeeded.
    std::optional<uint16_t> ListeningPort() const;

    // Starts the event thread. REQUIRES: not started.
    void Start();

    // Stops accepting, lets every request already read finish and answer,
    // closes every connection and joins all threads. Idempotent.
    void Stop();

    // Connections accepted and not yet released.
    size_t OpenConnections() const { return m_openConnections.load(); }

  private:
    friend class CListeningSocket;
    friend class CClientSocket;
    friend class CLogicProcessThread;

    void AcceptConnection(asio::ip::tcp::socket socket);
    void StartWorker(std::shared_ptr<CClientSocket> connection);
    // Called by a worker when its connection may take the next request.
    void Rewatch(const std::shared_ptr<CClientSocket>& connection);

    const EngineOptions m_options;
    const RequestProcessor m_processor;
    std::atomic<size_t> m_openConnections{0};
    asio::io_context m_io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    // Connections waiting for data. A worker starts the wait itself (waking
    // the event thread for it would cost a second thread switch per request),
    // so the set is guarded; Stop cancels every wait in it.
    std::mutex m_watchedMutex;
    std::unordered_set<CClientSocket*> m_watched;
    std::unique_ptr<CListeningSocket> m_listener;
    WorkerPool m_pool;
    std::thread m_eventThread;
    std::atomic<bool> m_stopping{false};
    bool m_started = false;
};

// The port number that `portText` names, read like atoi; nullopt when the
// number does not fit a TCP port.
std::optional<uint16_t> ParsePort(std::string_view portText);

}  // namespace warden

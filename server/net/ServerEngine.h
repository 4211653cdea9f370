// The network side of the server. Two listeners, the plain port and the TLS
// port, feed one engine: everything above it is the same for both, the
// transport is a property of the connection. One event thread accepts connections,
// reads and writes without ever blocking and assembles each request with the
// framing rules in the connection's own buffer; a bounded pool of workers
// gets whole requests and hands back replies. A peer that trickles bytes or
// never reads costs a buffer and a timer, never a thread. Every connection,
// request size and waiting time is bounded.
//
// Thread-safety: CreateListener, CloseListener, Start and Stop are called by
// the owner's thread; the counters may be read from anywhere.
#pragma once

#include <asio.hpp>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "protocol/Framing.h"
#include "server/net/RequestProcessor.h"
#include "server/net/WorkerPool.h"

namespace warden {

class CListeningSocket;
class CClientSocket;
class TlsContext;

struct EngineOptions {
    // Where both listeners listen: an IPv4 or IPv6 address; nullopt: every
    // address of both families.
    std::optional<asio::ip::address> address;
    size_t workers = 16;
    size_t maxRequest = 1 << 20;  // bytes on the wire; a longer request is refused
    int graceMs = 100;            // see FrameOptions
    int arrivalMs = 30'000;       // see FrameOptions
    size_t maxConnections = 1000;
    size_t maxAnonymous = 128;     // connections that have not logged in
    int anonymousIdleMs = 30'000;  // such a connection without a request is closed; 0: never
    int writeStallMs = 30'000;     // a reply that makes no progress this long closes its connection
    // A login ends after this long without a request, and this long after it
    // was made; 0: never. Its connection is then as one without a login.
    std::chrono::milliseconds sessionIdle{0};
    std::chrono::milliseconds sessionLifetime{0};
    int backlog = 0;               // pending connections; 0: the system's maximum
    int acceptPauseMs = 250;       // pause after an accept fails (no descriptors left)
    int handshakeMs = 10'000;      // a TLS handshake not finished by then closes its connection
    // Threads that do the handshakes' cryptography: fewer than the
    // processors, so that a crowd of peers handshaking always leaves the
    // event thread and the request workers a processor of their own. Not
    // lowered in priority: on a busy machine that would stall every
    // console's connecting behind whatever else runs.
    size_t handshakeThreads = 1;
    // Notices about limits that were reached; may be empty.
    std::function<void(const std::string&)> log;
};

class ServerEngine {
  public:
    // `quick`, when given, answers the requests that need no back-end without
    // the trip to a worker.
    ServerEngine(EngineOptions options, RequestProcessor processor, QuickAnswer quick = {});
    ~ServerEngine();  // Stop()
    ServerEngine(const ServerEngine&) = delete;
    ServerEngine& operator=(const ServerEngine&) = delete;

    // Listens on the options' address on the port that `portText` names,
    // read the way atoi reads it (no leading digits: port 0, an ephemeral
    // port): the plain port, or with `tls` the TLS port. False when the
    // socket cannot be bound or listen.
    bool CreateListener(std::string_view portText, std::shared_ptr<const TlsContext> tls = nullptr);

    // Drops the listeners again (a Start that failed later on).
    void CloseListener();

    // The port actually listened on, once CreateListener succeeded.
    std::optional<uint16_t> ListeningPort(Transport transport = Transport::kPlain) const;
    // Where it listens, as "0.0.0.0:8800" or "[::]:8801".
    std::optional<std::string> ListeningEndpoint(Transport transport) const;

    // Starts the event thread. REQUIRES: not started.
    void Start();

    // Stops accepting, lets every request already read finish and answer,
    // gives replies still being written a moment, closes every connection
    // and joins all threads. Idempotent; the engine cannot start again.
    // REQUIRES: whatever else may hold reply sinks has finished with them.
    void Stop();

    // Connections accepted and not yet released.
    size_t OpenConnections() const { return m_openConnections.load(); }
    // Of those, the ones that have not logged in (or whose login gives no
    // administrator's rights).
    size_t AnonymousConnections() const { return m_anonymous.load(); }

  private:
    friend class CListeningSocket;
    friend class CClientSocket;
    friend class CLogicProcessThread;

    // Event thread. `tls`: the listener's, for a connection of the TLS port.
    void AcceptConnection(asio::ip::tcp::socket socket, const TlsContext* tls);
    // Any thread: runs a handshake step on the handshake threads; false when
    // stopping.
    bool SubmitHandshakeStep(std::function<void()> step);
    // Event thread: closes the connection without a login that came first
    // and has no request in hand; false when there is none.
    bool EvictAnonymous();
    // Event thread: hands a whole request (decoded) to a worker; false when
    // stopping.
    bool StartWorker(std::shared_ptr<CClientSocket> connection, std::string text);
    // Any thread: a request handed out by StartWorker has been answered.
    void RequestDone();
    // Event thread: the reply's bytes (empty: no reply) when `quick` answers
    // the whole request `text` (decoded) at once; nullopt when a worker must
    // have it, also when the answer fails (the worker answers it as it would).
    std::optional<std::string> AnswerAtOnce(std::string_view text, Session& session) noexcept;
    // What a notice is about; each kind is said at most once per period.
    enum NoticeKind {
        kFailure,
        kAccept,
        kConnectionLimit,
        kAnonymousLimit,
        kTooLarge,
        kTooSlow,
        kEviction,
        kHandshake,
        kNoticeKinds
    };
    // Calls the log, at most once per `everyMs` for each kind (0: always).
    void Notice(NoticeKind kind, const std::string& text, int everyMs = 10'000);
    bool Stopping() const { return m_stopping.load(std::memory_order_relaxed); }

    const EngineOptions m_options;
    const FrameOptions m_frameOptions;
    const RequestProcessor m_processor;
    const QuickAnswer m_quick;
    std::atomic<size_t> m_openConnections{0};
    std::atomic<size_t> m_anonymous{0};
    std::atomic<size_t> m_writing{0};  // connections with a reply partly written
    // Owned through a pointer so that Stop can destroy it, and with it every
    // connection still waiting for input.
    std::unique_ptr<asio::io_context> m_io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> m_work;
    // By transport; shared with their own waits (see CListeningSocket).
    std::shared_ptr<CListeningSocket> m_listeners[2];
    // Connections in the order they came, for eviction; may hold ones that
    // have logged in or ended since. Event thread only.
    std::deque<std::weak_ptr<CClientSocket>> m_arrivals;
    WorkerPool m_pool;
    WorkerPool m_handshakes;
    std::thread m_eventThread;
    std::atomic<bool> m_stopping{false};
    bool m_started = false;

    std::mutex m_inFlightMutex;
    std::condition_variable m_inFlightDone;
    std::atomic<size_t> m_inFlight{0};  // requests handed out and not yet answered

    std::mutex m_noticeMutex;
    std::chrono::steady_clock::time_point m_lastNotice[kNoticeKinds];
};

// The port number that `portText` names, read like atoi; nullopt when the
// number does not fit a TCP port.
std::optional<uint16_t> ParsePort(std::string_view portText);

}  // namespace warden

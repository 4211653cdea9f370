#include "server/net/ServerEngine.h"

#include <cctype>
#include <cstdlib>
#include <future>

#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"
#include "server/net/CClientSocket.h"
#include "server/net/CListeningSocket.h"
#include "server/net/CLogicProcessThread.h"
#include "server/net/ReplyWire.h"
#include "server/net/TlsContext.h"

namespace warden {

namespace {

// How long Stop lets replies that are partly written drain.
constexpr std::chrono::seconds kStopDrain(2);

size_t Index(Transport transport) {
    return transport == Transport::kTls ? 1 : 0;
}

FrameOptions FrameOptionsOf(const EngineOptions& options) {
    FrameOptions frame;
    frame.maxBytes = options.maxRequest;
    frame.graceMs = options.graceMs;
    frame.arrivalMs = options.arrivalMs;
    return frame;
}

}  // namespace

std::optional<uint16_t> ParsePort(std::string_view portText) {
    size_t i = 0;
    while (i < portText.size() && std::isspace(static_cast<unsigned char>(portText[i]))) ++i;
    bool negative = false;
    if (i < portText.size() && (portText[i] == '+' || portText[i] == '-')) {
        negative = portText[i] == '-';
        ++i;
    }
    long value = 0;
    for (; i < portText.size() && std::isdigit(static_cast<unsigned char>(portText[i])); ++i) {
        value = value * 10 + (portText[i] - '0');
        if (value > 65535) return std::nullopt;
    }
    if (negative && value != 0) return std::nullopt;
    return static_cast<uint16_t>(value);
}

ServerEngine::ServerEngine(EngineOptions options, RequestProcessor processor, QuickAnswer quick)
    : m_options(std::move(options)),
      m_frameOptions(FrameOptionsOf(m_options)),
      m_processor(std::move(processor)),
      m_quick(std::move(quick)),
      m_io(std::make_unique<asio::io_context>(1)),
      m_pool(m_options.workers),
      m_handshakes(std::max<size_t>(m_options.handshakeThreads, 1)) {}

ServerEngine::~ServerEngine() {
    Stop();
}

bool ServerEngine::CreateListener(std::string_view portText,
                                  std::shared_ptr<const TlsContext> tls) {
    if (m_stopping) return false;
    auto port = ParsePort(portText);
    if (!port) return false;
    const Transport transport = tls ? Transport::kTls : Transport::kPlain;
    auto listener = std::make_shared<CListeningSocket>(*this, *m_io, std::move(tls));
    if (!listener->Listen(m_options.address, *port)) return false;
    if (m_started) {
        // The listeners belong to the event thread once it runs.
        std::promise<void> done;
        asio::post(*m_io, [&] {
            auto& slot = m_listeners[Index(transport)];
            if (slot) slot->Close();
            slot = listener;
            slot->Accept();
            done.set_value();
        });
        done.get_future().wait();
    } else {
        m_listeners[Index(transport)] = std::move(listener);
    }
    return true;
}

void ServerEngine::CloseListener() {
    auto closeAll = [this] {
        for (auto& listener : m_listeners) {
            if (listener) listener->Close();
            listener.reset();
        }
    };
    if (m_started && !m_stopping) {
        std::promise<void> done;
        asio::post(*m_io, [&] {
            closeAll();
            done.set_value();
        });
        done.get_future().wait();
    } else if (!m_started) {
        closeAll();
    }
}

std::optional<uint16_t> ServerEngine::ListeningPort(Transport transport) const {
    const auto& listener = m_listeners[Index(transport)];
    if (!listener) return std::nullopt;
    return listener->Port();
}

std::optional<std::string> ServerEngine::ListeningEndpoint(Transport transport) const {
    const auto& listener = m_listeners[Index(transport)];
    if (!listener) return std::nullopt;
    return listener->Endpoint();
}

void ServerEngine::Start() {
    m_started = true;
    for (auto& listener : m_listeners) {
        if (listener) listener->Accept();
    }
    m_work.emplace(asio::make_work_guard(*m_io));
    m_eventThread = std::thread([this] {
        for (;;) {
            try {
                m_io->run();
                return;
            } catch (const std::exception& e) {
                // Handlers guard themselves; this is the last line (memory
                // exhausted between two of their steps). Serve on.
                Notice(kFailure, std::string("event thread: ") + e.what(), 0);
            } catch (...) {
                Notice(kFailure, "event thread: unknown failure", 0);
            }
        }
    });
}

void ServerEngine::Stop() {
    if (m_stopping.exchange(true)) return;
    if (m_started) {
        // Connections notice the flag at their next step: an idle one that
        // gets a request closes instead, one that answers closes after its
        // reply. The listeners close on the event thread, which owns them;
        // an accept that completed before that finds its listener closed
        // (its wait keeps it alive) and the engine stopping.
        asio::post(*m_io, [this] {
            for (auto& listener : m_listeners) {
                if (listener) listener->Close();
            }
        });
    }
    // Handshakes under way end (a connection that completes one now closes),
    // then requests already handed to workers finish and answer.
    m_handshakes.Shutdown();
    m_pool.Shutdown();
    {
        std::unique_lock lock(m_inFlightMutex);
        m_inFlightDone.wait(lock, [this] { return m_inFlight == 0; });
    }
    const auto drainUntil = std::chrono::steady_clock::now() + kStopDrain;
    while (m_writing > 0 && std::chrono::steady_clock::now() < drainUntil) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_work.reset();
    m_io->stop();
    if (m_eventThread.joinable()) m_eventThread.join();
    for (auto& listener : m_listeners) listener.reset();
    // Destroying the context destroys every pending wait, and with the last
    // of them each connection that is still open.
    m_io.reset();
}

void ServerEngine::AcceptConnection(asio::ip::tcp::socket socket, const TlsContext* tls) {
    if (m_stopping) return;
    // Refused by closing at once: a console hears that the connection
    // ended, and the backlog keeps moving instead of timing out.
    if (m_openConnections >= m_options.maxConnections) {
        Notice(kConnectionLimit, "connection limit of " + std::to_string(m_options.maxConnections) +
                                     " reached; refusing new connections");
        return;
    }
    if (m_anonymous >= m_options.maxAnonymous) {
        // A console sends its login as soon as it connects, so the one that
        // has waited longest without one gives its place: a flood of silent
        // connections cannot lock consoles out.
        if (!EvictAnonymous()) {
            Notice(kAnonymousLimit,
                   "limit of " + std::to_string(m_options.maxAnonymous) +
                       " connections without a login reached, all busy; refusing new connections");
            return;
        }
        Notice(kEviction, "limit of " + std::to_string(m_options.maxAnonymous) +
                              " connections without a login reached; closing the oldest");
    }
    // A reply written while the one before it is not yet acknowledged (a
    // pipelined burst, or a long reply the TLS layer writes in several
    // records) must not wait for the console's delayed acknowledgement.
    asio::error_code ignored;
    socket.set_option(asio::ip::tcp::no_delay(true), ignored);
    std::unique_ptr<TlsStream> stream;
    if (tls) {
        stream = tls->NewStream(socket.native_handle());
        if (!stream) {
            Notice(kFailure, "no memory for a TLS connection: " + TakeOpenSslError());
            return;
        }
    }
    auto connection = std::make_shared<CClientSocket>(*this, std::move(socket), std::move(stream));
    connection->Begin();
    // Where the total limit always comes first there is nothing to evict.
    if (m_options.maxAnonymous >= m_options.maxConnections) return;
    m_arrivals.push_back(connection);
    if (m_arrivals.size() > 2 * m_openConnections + 64) {
        std::erase_if(m_arrivals, [](const auto& arrival) { return arrival.expired(); });
    }
}

bool ServerEngine::EvictAnonymous() {
    for (size_t tries = m_arrivals.size(); tries > 0 && !m_arrivals.empty(); --tries) {
        std::shared_ptr<CClientSocket> oldest = m_arrivals.front().lock();
        m_arrivals.pop_front();
        if (!oldest) continue;
        switch (oldest->EvictIfAnonymous()) {
            case CClientSocket::Eviction::kEvicted:
                return true;
            case CClientSocket::Eviction::kBusy:
                m_arrivals.push_back(oldest);  // may be evicted later
                break;
            case CClientSocket::Eviction::kLoggedIn:
                break;  // never a candidate again
        }
    }
    return false;
}

bool ServerEngine::StartWorker(std::shared_ptr<CClientSocket> connection, std::string text) {
    if (m_stopping) return false;
    ++m_inFlight;
    // A logged-in console is served before connections that have not logged
    // in, whatever they flood the server with.
    const auto priority = connection->GetSession().administrator
                              ? WorkerPool::Priority::kUrgent
                              : WorkerPool::Priority::kNormal;
    bool queued = false;
    try {
        queued = m_pool.Submit(
            [this, connection = std::move(connection), text = std::move(text)]() mutable {
                CLogicProcessThread::Run(*this, std::move(connection), std::move(text));
            },
            priority);
    } catch (...) {
        RequestDone();
        throw;
    }
    if (!queued) RequestDone();
    return queued;
}

std::optional<std::string> ServerEngine::AnswerAtOnce(std::string_view text,
                                                      Session& session) noexcept {
    if (!m_quick) return std::nullopt;
    try {
        std::optional<std::string> reply = m_quick(Trim(text), session);
        if (!reply) return std::nullopt;
        return EncodeReply(*reply);
    } catch (...) {
        return std::nullopt;
    }
}

bool ServerEngine::SubmitHandshakeStep(std::function<void()> step) {
    return !m_stopping && m_handshakes.Submit(std::move(step));
}

void ServerEngine::RequestDone() {
    // Counted without the lock, which only the stop's wait needs: the last
    // request takes it before waking the stop, so the wake cannot fall
    // between the stop's look at the count and its wait.
    if (--m_inFlight != 0) return;
    std::lock_guard lock(m_inFlightMutex);
    m_inFlightDone.notify_all();
}

void ServerEngine::Notice(NoticeKind kind, const std::string& text, int everyMs) {
    if (!m_options.log) return;
    {
        std::lock_guard lock(m_noticeMutex);
        const auto now = std::chrono::steady_clock::now();
        auto& last = m_lastNotice[kind];
        if (everyMs > 0 && last != std::chrono::steady_clock::time_point() &&
            now - last < std::chrono::milliseconds(everyMs)) {
            return;
        }
        last = now;
    }
    try {
        m_options.log(text);
    } catch (...) {
        // A notice is never worth a request.
    }
}

}  // namespace warden

#include "server/net/ServerEngine.h"

#include <cctype>
#include <cstdlib>
#include <future>

#include "server/net/CClientSocket.h"
#include "server/net/CListeningSocket.h"
#include "server/net/CLogicProcessThread.h"

namespace warden {

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

ServerEngine::ServerEngine(EngineOptions options, RequestProcessor processor)
    : m_options(options), m_processor(std::move(processor)), m_pool(options.workers) {}

ServerEngine::~ServerEngine() {
    Stop();
}

bool ServerEngine::CreateListener(std::string_view portText) {
    auto port = ParsePort(portText);
    if (!port) return false;
    auto listener = std::make_unique<CListeningSocket>(*this, m_io);
    if (!listener->Listen(*port)) return false;
    m_listener = std::move(listener);
    if (m_started)
        asio::post(m_io, [this] {
            if (m_listener) m_listener->Accept();
        });
    return true;
}

void ServerEngine::CloseListener() {
    if (!m_listener) return;
    if (m_started) {
        // The acceptor belongs to the event thread once it runs.
        std::promise<void> done;
        asio::post(m_io, [&] {
            m_listener->Close();
            done.set_value();
        });
        done.get_future().wait();
    } else {
        m_listener->Close();
    }
    m_listener.reset();
}

std::optional<uint16_t> ServerEngine::ListeningPort() const {
    if (!m_listener) return std::nullopt;
    return m_listener->Port();
}

void ServerEngine::Start() {
    m_started = true;
    if (m_listener) m_listener->Accept();
    m_work.emplace(asio::make_work_guard(m_io));
    m_eventThread = std::thread([this] { m_io.run(); });
}

void ServerEngine::Stop() {
    if (m_stopping.exchange(true)) return;
    if (m_started) {
        // Stop accepting and release the idle connections; connections that a
        // worker holds are left to it.
        asio::post(m_io, [this] {
            if (m_listener) m_listener->Close();
            std::lock_guard lock(m_watchedMutex);
            for (CClientSocket* idle : m_watched) idle->Cancel();
        });
    }
    // Requests already handed to workers finish and answer; their connections
    // are not watched again.
    m_pool.Shutdown();
    m_work.reset();  // the event thread ends once the cancelled waits have run
    if (m_eventThread.joinable()) m_eventThread.join();
    m_listener.reset();
}

void ServerEngine::AcceptConnection(asio::ip::tcp::socket socket) {
    Rewatch(std::make_shared<CClientSocket>(*this, std::move(socket)));
}

void ServerEngine::StartWorker(std::shared_ptr<CClientSocket> connection) {
    if (m_stopping) return;
    m_pool.Submit([this, connection = std::move(connection)]() mutable {
        CLogicProcessThread::Run(*this, std::move(connection));
    });
}

void ServerEngine::Rewatch(const std::shared_ptr<CClientSocket>& connection) {
    // Checked under the lock that Stop's cancelling takes: a wait is either
    // started before the cancelling (and cancelled) or not started at all.
    std::lock_guard lock(m_watchedMutex);
    if (m_stopping) return;
    connection->Watch();
}

}  // namespace warden

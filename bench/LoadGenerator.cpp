#include "bench/LoadGenerator.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

#include "bench/WireClient.h"
#include "protocol/Framing.h"

namespace warden::bench {

namespace {

int Connect(int port) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
}

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

Connections::Connections(const LoadSpec& spec) {
    // Connect first: the listen backlog is small, so a burst of connects would
    // otherwise measure SYN retries instead of requests.
    try {
        for (size_t i = 0; i < spec.connections; ++i) {
            m_fds.push_back(Connect(spec.port));
            if (spec.tls) {
                m_tls.push_back(TlsLink::Open(m_fds.back()));
                if (!m_tls.back()) throw std::runtime_error("no TLS handshake");
            }
            std::string reply;
            for (const std::string& step : spec.setup) Exchange(i, step, reply);
        }
    } catch (...) {
        m_tls.clear();
        for (int fd : m_fds) ::close(fd);
        throw;
    }
}

Connections::~Connections() {
    m_tls.clear();
    for (int fd : m_fds) ::close(fd);
}

bool Connections::Exchange(size_t i, const std::string& request, std::string& reply,
                           Clock::time_point* lastByte) const {
    if (!m_tls.empty()) {
        return m_tls[i]->WriteFrame(request) &&
               m_tls[i]->ReadFrame(reply, std::chrono::seconds(60), lastByte);
    }
    if (!WriteMessage(m_fds[i], request)) return false;
    FrameOptions options;
    options.maxBytes = 64 << 20;
    return ReadMessage(m_fds[i], reply, options, lastByte) == FrameStatus::kComplete;
}

LoadResult RunLoad(const LoadSpec& spec) {
    Connections connections(spec);
    return RunLoad(spec, connections);
}

LoadResult RunLoad(const LoadSpec& spec, const Connections& connections) {
    const size_t count = connections.Size();
    std::string expected;
    if (!connections.Exchange(0, spec.request, expected)) throw std::runtime_error("no reply");

    std::vector<std::vector<double>> latencies(count);
    std::vector<std::vector<double>> lastBytes(count);
    std::atomic<size_t> failures{0};
    std::atomic<bool> go{false};
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + spec.duration;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            while (!go) std::this_thread::yield();
            std::string reply;
            auto& mine = latencies[i];
            auto& mineLast = lastBytes[i];
            mine.reserve(1 << 16);
            mineLast.reserve(1 << 16);
            while (Clock::now() < deadline) {
                Clock::time_point last;
                auto t0 = Clock::now();
                bool ok = connections.Exchange(i, spec.request, reply, &last);
                auto t1 = Clock::now();
                if (!ok || reply != expected) {
                    ++failures;
                    if (!ok) break;
                }
                mine.push_back(Milliseconds(t1 - t0));
                mineLast.push_back(Milliseconds(last - t0));
            }
        });
    }
    go = true;
    for (auto& t : threads) t.join();
    const auto end = std::chrono::steady_clock::now();

    std::vector<double> all;
    for (auto& v : latencies) all.insert(all.end(), v.begin(), v.end());
    std::vector<double> allLast;
    for (auto& v : lastBytes) allLast.insert(allLast.end(), v.begin(), v.end());
    LoadResult result;
    result.requests = all.size();
    result.failures = failures;
    result.replyBytes = expected.size();
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.p50Ms = Percentile(all, 50);
    result.p99Ms = Percentile(all, 99);
    result.lastByteP50Ms = Percentile(allLast, 50);
    result.lastByteP99Ms = Percentile(allLast, 99);
    return result;
}

bool ExchangeOnce(const LoadSpec& spec, std::string& setupReply, std::string& reply) {
    LoadSpec alone = spec;
    alone.connections = 1;
    alone.setup.clear();
    const Connections connection(alone);
    bool ok = true;
    for (const std::string& step : spec.setup) ok = ok && connection.Exchange(0, step, setupReply);
    return ok && connection.Exchange(0, spec.request, reply);
}

}  // namespace warden::bench

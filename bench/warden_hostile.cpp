// Hostile-peer runner against a live warden-server on this machine, with a
// console alongside whose latency it reports: peers that trickle a request,
// peers that never read their replies, floods of connections that never log
// in, half-open peers (part of a request, then silence or a half close), and
// over-long requests. It counts how the server dealt with each.
//
//   warden-hostile --port P [--seconds 20] [--tricklers 16] [--never-readers 16]
//                  [--flood 300] [--half-open 16] [--oversized 2] [--password admin]
//                  [--request 'GetAdminList.asp?'] [--big-request TEXT] [--pid PID]
//                  [--tls] [--stuck-handshakes N] [--handshakers N]
//   warden-hostile --port P --idle N [--tls] [--pid PID]
//
// --tls speaks to the TLS port: the console and every peer above use TLS
// and the port's frames (a trickler announces a long frame, then trickles
// it). Two kinds of peer only the TLS port has: --stuck-handshakes N open
// connections that send half a ClientHello and never finish the handshake
// (each replaced when the server closes it), and --handshakers N handshake
// in a loop and close, as fast as they can at the lowest priority (a real
// attacker's processors are not the server's): their rate is the
// handshakes per second printed.
//
// --idle N opens N connections that each make one request and then stay
// idle, and prints the server's memory per connection (the server needs
// [SECURITY] REQUIRE_LOGIN=0 and MAX_CONNECTIONS above N, and this shell a
// descriptor limit above N). Loopback only; bounded by --seconds and the
// counts. Exit status 0 when the console was always answered.
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/WireClient.h"

using namespace warden;
using namespace std::chrono_literals;

namespace {

struct Options {
    int port = 0, pid = 0;
    double seconds = 20;
    int tricklers = 16, neverReaders = 16, flood = 300, halfOpen = 16, oversized = 2;
    int idle = 0;
    bool tls = false;
    int stuckHandshakes = 0, handshakers = 0;
    std::string password = "admin";
    std::string request = "GetAdminList.asp?";
    std::string bigRequest = "GetAdminList.asp?";
};

// How often the server ended a kind of peer, out of how many tries.
struct Tally {
    std::atomic<long> made{0}, endedByServer{0};
};

bool EndedByServer(const bench::WireClient& client) {
    char byte;
    return ::recv(client.Fd(), &byte, 1, MSG_DONTWAIT | MSG_PEEK) == 0;
}

int RunIdle(const Options& options) {
    const bench::ServerProbe probe{options.pid};
    const size_t rssBefore = probe.RssKiB(), fdsBefore = probe.Descriptors();
    std::vector<bench::WireClient> clients;
    long answered = 0;
    for (int i = 0; i < options.idle; ++i) {
        clients.emplace_back(options.port, options.tls);
        if (!clients.back().Connected()) {
            std::fprintf(stderr, "connection %d failed\n", i);
            break;
        }
        answered += clients.back().Ask(bench::ToGbk(options.request), 30s).has_value();
    }
    std::this_thread::sleep_for(2s);
    const size_t rssIdle = probe.RssKiB(), fdsIdle = probe.Descriptors();
    const size_t opened = clients.size();
    clients.clear();
    std::this_thread::sleep_for(2s);
    std::printf(
        "%zu idle connections (%ld answered once): server memory %zu -> %zu KiB, "
        "%.0f bytes per connection; descriptors %zu -> %zu -> %zu\n",
        opened, answered, rssBefore, rssIdle,
        opened ? (static_cast<double>(rssIdle) - rssBefore) * 1024 / opened : 0.0, fdsBefore,
        fdsIdle, probe.Descriptors());
    return opened == static_cast<size_t>(options.idle) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        auto count = [&] { return std::clamp(std::atoi(next().c_str()), 0, 100000); };
        if (arg == "--port")
            o.port = std::atoi(next().c_str());
        else if (arg == "--pid")
            o.pid = std::atoi(next().c_str());
        else if (arg == "--seconds")
            o.seconds = std::min(3600.0, std::atof(next().c_str()));
        else if (arg == "--tricklers")
            o.tricklers = count();
        else if (arg == "--never-readers")
            o.neverReaders = count();
        else if (arg == "--flood")
            o.flood = count();
        else if (arg == "--half-open")
            o.halfOpen = count();
        else if (arg == "--oversized")
            o.oversized = count();
        else if (arg == "--idle")
            o.idle = count();
        else if (arg == "--password")
            o.password = next();
        else if (arg == "--request")
            o.request = next();
        else if (arg == "--big-request")
            o.bigRequest = next();
        else if (arg == "--tls")
            o.tls = true;
        else if (arg == "--stuck-handshakes")
            o.stuckHandshakes = count();
        else if (arg == "--handshakers")
            o.handshakers = count();
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.port <= 0) {
        std::fprintf(stderr, "usage: warden-hostile --port P [--seconds T] ...\n");
        return 2;
    }
    if (o.idle > 0) return RunIdle(o);

    const bench::ServerProbe probe{o.pid};
    const auto cpuBefore = probe.CpuTime();
    const size_t fdsBefore = probe.Descriptors();
    std::atomic<bool> stop{false};
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(long(o.seconds * 1000));
    // The console logs in before the hostile peers start: logins wait for
    // one another's password hashes, which is not what is measured here.
    bench::WireClient console(o.port, o.tls);
    if (!console.Login(o.password)) {
        std::fprintf(stderr, "the console cannot log in\n");
        return 2;
    }
    Tally tricklers, readers, flood, halfOpen, oversized, stuck, handshakes;
    std::atomic<long> neverReaderRequests{0};
    std::vector<std::thread> threads;
    auto until = [&](auto body) {
        return std::thread([&, body]() mutable {
            while (!stop && std::chrono::steady_clock::now() < end) body();
        });
    };

    // Tricklers: 1024-byte pieces every 10 ms, a request that never ends.
    for (int i = 0; i < o.tricklers; ++i) {
        threads.push_back(until([&] {
            bench::WireClient peer(o.port, o.tls);
            ++tricklers.made;
            // On the TLS port: the header of a frame of half a megabyte.
            if (o.tls) peer.SendRaw(std::string("\x00\x08\x00\x00", 4));
            const std::string piece(1024, 't');
            while (!stop && peer.SendRaw(piece)) std::this_thread::sleep_for(10ms);
            tricklers.endedByServer += !stop;
        }));
    }
    // Never-readers: logged in, they keep asking and never read a reply.
    for (int i = 0; i < o.neverReaders; ++i) {
        threads.push_back(until([&] {
            bench::WireClient peer(o.port, o.tls);
            ++readers.made;
            if (!peer.Login(o.password)) return;
            const std::string big = bench::ToGbk(o.bigRequest);
            while (!stop && peer.Send(big)) {
                ++neverReaderRequests;
                std::this_thread::sleep_for(5ms);
            }
            readers.endedByServer += !stop;
        }));
    }
    // A flood of connections that never send a byte; whoever the server
    // closes is replaced.
    threads.push_back(until([&] {
        std::vector<bench::WireClient> held;
        for (int i = 0; i < o.flood && !stop; ++i) {
            held.emplace_back(o.port, o.tls);
            ++flood.made;
        }
        while (!stop && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(200ms);
            for (auto& peer : held) {
                if (peer.Connected() && EndedByServer(peer)) {
                    ++flood.endedByServer;
                    peer = bench::WireClient(o.port, o.tls);
                    ++flood.made;
                }
            }
        }
    }));
    // Half-open: the start of a long request, then silence (or a half close).
    for (int i = 0; i < o.halfOpen; ++i) {
        threads.push_back(until([&, i] {
            bench::WireClient peer(o.port, o.tls);
            ++halfOpen.made;
            peer.SendRaw(o.tls ? std::string("\x00\x00\x10\x00", 4) + std::string(1500, 'h')
                               : std::string(1500, 'h'));
            if (i % 2) ::shutdown(peer.Fd(), SHUT_WR);
            while (!stop && !EndedByServer(peer)) std::this_thread::sleep_for(100ms);
            halfOpen.endedByServer += !stop;
        }));
    }
    // Over-long requests, once a second each.
    for (int i = 0; i < o.oversized; ++i) {
        threads.push_back(until([&] {
            bench::WireClient peer(o.port, o.tls);
            ++oversized.made;
            // The refusal may not be read at all: over TLS the server can
            // close while the peer is still writing.
            const bool refused =
                peer.Ask("GetAdminList.asp?x=" + std::string(2 << 20, 'o'), 10s).has_value();
            oversized.endedByServer += peer.Closed() || (refused && EndedByServer(peer));
            std::this_thread::sleep_for(1s);
        }));
    }

    // Handshakes that never finish: half a ClientHello over plain TCP.
    for (int i = 0; i < o.stuckHandshakes; ++i) {
        threads.push_back(until([&] {
            bench::WireClient peer(o.port);
            ++stuck.made;
            peer.SendRaw(std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11));
            while (!stop && !EndedByServer(peer)) std::this_thread::sleep_for(100ms);
            stuck.endedByServer += !stop;
        }));
    }
    // Handshakes in a loop, at the lowest priority.
    for (int i = 0; i < o.handshakers; ++i) {
        threads.push_back(std::thread([&] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);
            while (!stop && std::chrono::steady_clock::now() < end) {
                bench::WireClient peer(o.port, true);
                ++handshakes.made;
                handshakes.endedByServer += !peer.Connected();
            }
        }));
    }

    // The console.
    std::vector<double> latencies;
    long failures = 0;
    std::this_thread::sleep_for(500ms);
    const std::string request = bench::ToGbk(o.request);
    while (std::chrono::steady_clock::now() < end) {
        const auto t0 = std::chrono::steady_clock::now();
        auto reply = console.Ask(request, 10s);
        latencies.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        if (!reply) {
            ++failures;
            if (console.Closed()) break;
        }
        std::this_thread::sleep_for(20ms);
    }
    stop = true;
    for (auto& t : threads) t.join();

    std::printf("console: %zu requests, %ld failed; latency ms p50 %.3f  p99 %.3f  max %.3f\n",
                latencies.size(), failures, bench::Percentile(latencies, 50),
                bench::Percentile(latencies, 99), bench::Percentile(latencies, 100));
    auto line = [](const char* what, const Tally& t) {
        std::printf("%-14s %6ld connections, %6ld ended by the server\n", what, t.made.load(),
                    t.endedByServer.load());
    };
    line("tricklers", tricklers);
    line("never-readers", readers);
    line("flood", flood);
    line("half-open", halfOpen);
    line("oversized", oversized);
    if (o.stuckHandshakes) line("stuck handshakes", stuck);
    if (o.handshakers) {
        std::printf("handshakers    %6ld handshakes (%ld refused), %.0f per second\n",
                    handshakes.made.load(), handshakes.endedByServer.load(),
                    static_cast<double>(handshakes.made - handshakes.endedByServer) / o.seconds);
    }
    std::printf("never-readers sent %ld requests unread\n", neverReaderRequests.load());
    if (o.pid) {
        std::this_thread::sleep_for(1s);
        std::printf("server: %s, processor time %lld ms, descriptors %zu before, %zu after\n",
                    probe.Alive() ? "running" : "GONE",
                    static_cast<long long>((probe.CpuTime() - cpuBefore).count()), fdsBefore,
                    probe.Descriptors());
    }
    return failures == 0 && latencies.size() > 0 ? 0 : 1;
}

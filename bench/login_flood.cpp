// A flood of wrong logins against a running warden-server, and what a
// console that is already logged in notices of it, in one run:
//
//   warden-login-flood --port 8800 [--conns 200] [--seconds 10]
//                      [--password admin] [--dept PATH]
//                      [--accounts admin,u000001] [--numbered u:100000] [--no-spread]
//
// Three phases of --seconds each: the logged-in client alone, sending
// "GetChildDepts.asp" one after the other; the same while --conns
// connections from 127.0.0.1 send wrong logins as fast as the server answers;
// and the same while the flood comes from ever new loopback addresses
// (127.x.y.z, four attempts each), as from many machines. Wrong logins name
// the --accounts in turn, or u000001..u100000 with --numbered u:100000.
// Prints the client's p50/p99 and the flood's attempts and replies per phase.
//
// The flood's threads run only when the processors are otherwise idle: an attacker's
// machine spends none of the server's processor time, but here the flood's
// 200 threads share two cores with the server and the console, and at equal
// priority the console's own thread would wait behind them for its turn.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

using namespace warden;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int port = 8800;
    int conns = 200;
    double seconds = 10;
    std::string password = "admin";
    std::string dept;
    std::vector<std::string> accounts{"admin"};
    bool spread = true;
};

// A connection from `source` (0: any), with a read time-out so that a server
// that stops answering cannot hang the run.
int Connect(int port, uint32_t source = 0) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (source != 0) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(source);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
            ::close(fd);
            return -1;
        }
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One exchange in UTF-8; empty when no reply came.
std::string Ask(int fd, const std::string& request) {
    auto gbk = Utf8ToGbk(request);
    if (!gbk || !WriteMessage(fd, *gbk)) return {};
    std::string reply;
    FrameOptions frame;
    frame.maxBytes = 64 << 20;
    if (ReadMessage(fd, reply, frame) != FrameStatus::kComplete) return {};
    return GbkToUtf8(reply).value_or("");
}

struct Latency {
    size_t count = 0;
    double p50 = 0, p99 = 0;
};

// The logged-in client: "GetChildDepts.asp" one after the other until `until`.
Latency RunConsole(int fd, const std::string& dept, Clock::time_point until) {
    std::vector<double> ms;
    while (Clock::now() < until) {
        const auto t0 = Clock::now();
        const std::string reply = Ask(fd, "GetChildDepts.asp?deptId=" + dept);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (reply.empty()) break;
    }
    std::sort(ms.begin(), ms.end());
    Latency l;
    l.count = ms.size();
    if (!ms.empty()) {
        l.p50 = ms[ms.size() / 2];
        l.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    }
    return l;
}

struct FloodResult {
    std::atomic<size_t> attempts{0};
    std::mutex mutex;
    std::map<std::string, size_t> replies;
};

void RunFlood(const Options& o, bool spread, Clock::time_point until, FloodResult& result) {
    std::atomic<uint32_t> nextAddress{(127u << 24) | (1u << 16)};  // 127.1.0.0 and up
    std::atomic<size_t> nextAccount{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < o.conns; ++t) {
        threads.emplace_back([&, t] {
            sched_param idle{};
            ::sched_setscheduler(::gettid(), SCHED_IDLE, &idle);
            std::map<std::string, size_t> mine;
            int fd = -1, used = 0;
            for (size_t n = 0; Clock::now() < until; ++n) {
                if (fd < 0 || (spread && used == 4)) {
                    if (fd >= 0) ::close(fd);
                    fd = Connect(o.port, spread ? nextAddress++ : 0);
                    used = 0;
                    if (fd < 0) {
                        ++mine["(connect failed)"];
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                        continue;
                    }
                }
                const std::string& account = o.accounts[nextAccount++ % o.accounts.size()];
                const std::string reply =
                    Ask(fd, "LoginCheck.asp?username=" + account + "`password=wrong-" +
                                std::to_string(t) + "-" + std::to_string(n) + "`ver=1.5");
                ++used;
                ++result.attempts;
                ++mine[reply.empty() ? "(no reply)" : reply];
                if (reply.empty()) {
                    ::close(fd);
                    fd = -1;
                }
            }
            if (fd >= 0) ::close(fd);
            std::lock_guard lock(result.mutex);
            for (const auto& [text, count] : mine) result.replies[text] += count;
        });
    }
    for (auto& thread : threads) thread.join();
}

void Report(const char* phase, const Latency& l, const FloodResult* flood, double seconds) {
    std::printf("%-34s GetChildDepts.asp: %7zu requests  p50 %8.3f ms  p99 %8.3f ms\n", phase,
                l.count, l.p50, l.p99);
    if (!flood) return;
    std::printf("%-34s wrong logins: %zu (%.0f/s)\n", "", flood->attempts.load(),
                flood->attempts.load() / seconds);
    for (const auto& [text, count] : flood->replies) {
        std::printf("%-34s   %8zu  %s\n", "", count, text.c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port") {
            o.port = std::atoi(next().c_str());
        } else if (arg == "--conns") {
            o.conns = std::max(1, std::atoi(next().c_str()));
        } else if (arg == "--seconds") {
            o.seconds = std::atof(next().c_str());
        } else if (arg == "--password") {
            o.password = next();
        } else if (arg == "--dept") {
            o.dept = next();
        } else if (arg == "--accounts") {
            o.accounts = SplitList(next(), ",");
        } else if (arg == "--numbered") {
            const std::string spec = next();
            const size_t colon = spec.find(':');
            const int count = colon == std::string::npos ? 0 : std::atoi(spec.c_str() + colon + 1);
            o.accounts.clear();
            for (int n = 1; n <= count; ++n) {
                char name[64];
                std::snprintf(name, sizeof name, "%s%06d", spec.substr(0, colon).c_str(), n);
                o.accounts.push_back(name);
            }
        } else if (arg == "--no-spread") {
            o.spread = false;
        } else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (o.accounts.empty()) {
        std::fprintf(stderr, "no accounts to try\n");
        return 2;
    }

    const int console = Connect(o.port);
    if (console < 0 || Ask(console, "LoginCheck.asp?username=admin`password=" + o.password +
                                        "`ver=1.5") != "success|1") {
        std::fprintf(stderr, "the console cannot log in as admin on port %d\n", o.port);
        return 1;
    }
    const auto span =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(o.seconds));

    std::printf("%d flood connections, %.0f s per phase, %zu account name(s)\n", o.conns, o.seconds,
                o.accounts.size());
    Report("no flood", RunConsole(console, o.dept, Clock::now() + span), nullptr, o.seconds);

    for (bool spread : {false, true}) {
        if (spread && !o.spread) break;
        FloodResult flood;
        const auto until = Clock::now() + span;
        std::thread attack([&] { RunFlood(o, spread, until, flood); });
        // Let the flood reach full strength before measuring.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const Latency l = RunConsole(console, o.dept, until);
        attack.join();
        Report(spread ? "flood from new addresses" : "flood from one address", l, &flood,
               o.seconds);
    }
    ::close(console);
    return 0;
}

// Soak runner: N connections keep a live warden-server busy for T seconds
// with requests whose right replies are known, each connection reading back
// data of its own (so a reply sent to the wrong connection shows), and
// re-saving it now and then. It checks every reply, and that the server's
// descriptors are the same before, during and after.
//
//   warden-soak --port P [--conns 256] [--seconds 60] [--pid PID]
//               [--no-login | --password admin] [--tls]
//
// --tls keeps the TLS port busy instead (frames inside TLS).
//
// Loopback only; bounded by --seconds. Against a server with many
// connections use --no-login and [SECURITY] REQUIRE_LOGIN=0: every login
// costs a password hash. Exit status 0 when every reply was right and the
// descriptors came back.
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

struct Exchange {
    std::string request;  // GBK
    std::string expected;
};

}  // namespace

int main(int argc, char** argv) {
    int port = 0, conns = 256, pid = 0;
    double seconds = 60;
    bool login = true;
    bool tls = false;
    std::string password = "admin";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--port")
            port = std::atoi(next().c_str());
        else if (arg == "--conns")
            conns = std::max(1, std::atoi(next().c_str()));
        else if (arg == "--seconds")
            seconds = std::min(3600.0, std::atof(next().c_str()));
        else if (arg == "--pid")
            pid = std::atoi(next().c_str());
        else if (arg == "--password")
            password = next();
        else if (arg == "--no-login")
            login = false;
        else if (arg == "--tls")
            tls = true;
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (port <= 0) {
        std::fprintf(stderr, "usage: warden-soak --port P [--conns N] [--seconds T] ...\n");
        return 2;
    }
    const bench::ServerProbe probe{pid};

    // Each connection's own administrator, saved once here; the replies of
    // the shared requests are taken from this connection as the right ones.
    bench::WireClient setup(port, tls);
    if (!setup.Connected() || (login && !setup.Login(password))) {
        std::fprintf(stderr, "cannot connect and log in to port %d\n", port);
        return 2;
    }
    auto ask = [&](const std::string& utf8) {
        auto reply = setup.Ask(bench::ToGbk(utf8), 30s);
        return reply ? *reply : std::string();
    };
    std::vector<std::vector<Exchange>> plans(conns);
    const std::vector<std::string> shared = {"GetAdminList.asp?", "GetAllRoles.asp?",
                                             "GetChildDepts.asp?deptId=", "GetAllRights.asp?"};
    std::vector<Exchange> sharedPlan;
    for (const std::string& r : shared) sharedPlan.push_back({bench::ToGbk(r), ask(r)});
    for (int i = 0; i < conns; ++i) {
        const std::string name = "soak" + std::to_string(i);
        const std::string save =
            "SaveAdminDepts.asp?username=" + name + "`depts=\\" + name + "部;`adminroles=User|";
        Exchange saveStep{bench::ToGbk(save), ask(save)};
        const std::string query = "QueryUserAdminDepts.asp?username=" + name;
        plans[i] = sharedPlan;
        plans[i].push_back({bench::ToGbk(query), ask(query)});
        plans[i].push_back(saveStep);
    }
    // The shared replies again, now that every administrator exists.
    for (Exchange& e : sharedPlan) e.expected = *setup.Ask(e.request, 30s);
    for (auto& plan : plans) {
        for (size_t k = 0; k < sharedPlan.size(); ++k) plan[k] = sharedPlan[k];
    }
    setup.Close();
    // Measured once the set-up has opened whatever the stores keep open.
    std::this_thread::sleep_for(1s);
    const size_t rssBefore = probe.RssKiB();

    std::vector<bench::WireClient> clients;
    for (int i = 0; i < conns; ++i) {
        clients.emplace_back(port, tls);
        if (!clients.back().Connected() || (login && !clients.back().Login(password))) {
            std::fprintf(stderr, "connection %d failed\n", i);
            return 2;
        }
    }

    std::atomic<long> requests{0}, wrong{0}, missing{0};
    std::mutex latencyMutex;
    std::vector<double> latencies;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < conns; ++i) {
        threads.emplace_back([&, i] {
            std::vector<double> mine;
            const auto& plan = plans[i];
            for (size_t k = 0; !stop; ++k) {
                // Reads mostly; every tenth request a write.
                const Exchange& e = k % 10 == 9 ? plan.back() : plan[k % (plan.size() - 1)];
                const auto t0 = std::chrono::steady_clock::now();
                auto reply = clients[i].Ask(e.request, 30s);
                mine.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
                ++requests;
                if (!reply) {
                    ++missing;
                    break;
                }
                if (*reply != e.expected) ++wrong;
            }
            std::lock_guard lock(latencyMutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(static_cast<long>(seconds * 1000));
    // The directory opens its database once per worker as the workers first
    // need it; the count is taken once they all had work.
    std::this_thread::sleep_for(
        std::chrono::milliseconds(static_cast<long>(std::min(2.0, seconds / 4) * 1000)));
    const size_t fdsWarm = probe.Descriptors();
    size_t fdsMin = fdsWarm, fdsMax = fdsWarm;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::min<std::chrono::nanoseconds>(
            1s, std::max<std::chrono::nanoseconds>(end - std::chrono::steady_clock::now(), 0s)));
        if (pid) {
            const size_t fds = probe.Descriptors();
            fdsMin = std::min(fdsMin, fds);
            fdsMax = std::max(fdsMax, fds);
        }
    }
    stop = true;
    for (auto& t : threads) t.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const size_t rssLoaded = probe.RssKiB();
    clients.clear();
    std::this_thread::sleep_for(1s);
    const size_t fdsAfter = probe.Descriptors();

    std::printf("%d connections, %.0f s: %ld requests (%.0f/s), wrong replies %ld, missing %ld\n",
                conns, elapsed, requests.load(), requests / elapsed, wrong.load(), missing.load());
    std::printf("latency ms: p50 %.3f  p99 %.3f  max %.3f\n", bench::Percentile(latencies, 50),
                bench::Percentile(latencies, 99), bench::Percentile(latencies, 100));
    bool flat = true;
    if (pid) {
        // The stores open a file or two for a moment while they write.
        constexpr size_t kTransient = 4;
        flat = fdsMax <= fdsWarm + kTransient &&
               fdsAfter <= fdsWarm - static_cast<size_t>(conns) + kTransient;
        std::printf(
            "server descriptors: %zu under load (%zu..%zu while running), %zu after the "
            "connections closed; memory %zu KiB before, %zu KiB loaded\n",
            fdsWarm, fdsMin, fdsMax, fdsAfter, rssBefore, rssLoaded);
    }
    return wrong == 0 && missing == 0 && flat ? 0 : 1;
}

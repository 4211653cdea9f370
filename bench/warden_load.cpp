// Load on a running warden-server, side by side with the echo baseline of
// this machine in the same run.
//
//   warden-load --port 8800 [--request 'GetUserBInfo.asp?username=u1']
//               [--conns 1,8,64,256] [--seconds 3] [--no-login]
//               [--user admin] [--password admin]
//               [--server-pid PID]
//               [--compare-user NAME --compare-password PW]
//               [--compare-port PORT [--compare-pid PID]] [--rounds 4]
//               [--tls] [--compare-tls]
//
// Prints, per connection count, throughput and p50/p99 latency for the echo
// baseline and for the server, and the server-to-baseline throughput ratio;
// for a reply longer than one piece also the time to its last byte (the
// latencies include the reader's quiet wait that ends such a reply).
// Every connection logs in as --user first (unless --no-login). With
// --compare-user the same request is also sent from that account's sessions
// in the same run, in --rounds alternating slices of the time (the order
// swapped each round, so drift of a shared machine hits both alike), and
// the throughput of the first account relative to the second is printed:
// what the login (for example a second-level administrator's delegation
// check) costs. With --compare-port the other side is a second server (a
// build to compare with, on the same directory) that gets the same request
// from the same account, or from --compare-user. --tls speaks the TLS port's
// frames to --port, --compare-tls to --compare-port: the TLS port and the
// plain port of one server compare what the encryption costs. With --server-pid the server's processor time per request is
// printed (for both accounts when comparing): a figure that other programs
// on a busy machine disturb far less than throughput.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "bench/EchoServer.h"
#include "bench/LoadGenerator.h"
#include "bench/WireClient.h"
#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

using namespace warden;

namespace {

std::optional<std::string> LoginRequest(const std::string& user, const std::string& password) {
    return Utf8ToGbk("LoginCheck.asp?username=" + user + "`password=" + password + "`ver=1.5");
}

// Logs in as the account and sends the request once, so that a refused login
// or a refused request is told plainly instead of measured.
bool Probe(int port, bool tls, const std::optional<std::string>& login,
           const std::string& request, const std::string& label) {
    bench::LoadSpec spec;
    spec.port = port;
    spec.tls = tls;
    spec.request = request;
    if (login) spec.setup = {*login};
    std::string loginReply;
    std::string reply;
    if (!bench::ExchangeOnce(spec, loginReply, reply)) {
        std::fprintf(stderr, "%s: no reply from port %d\n", label.c_str(), port);
        return false;
    }
    auto text = [](const std::string& gbk) { return GbkToUtf8(gbk).value_or("<not GBK>"); };
    if (login && text(loginReply).rfind("success", 0) != 0) {
        std::fprintf(stderr, "%s: the login was answered %s\n", label.c_str(),
                     text(loginReply).c_str());
        return false;
    }
    if (text(reply).rfind("error:", 0) == 0) {
        std::fprintf(stderr, "%s: the request was answered %s\n", label.c_str(),
                     text(reply).c_str());
        return false;
    }
    return true;
}

// The processor time process `pid` has used so far, in seconds; 0 for no
// process.
double CpuSecondsOf(int pid) {
    if (pid == 0) return 0;
    return std::chrono::duration<double>(bench::ServerProbe{pid}.CpuTime()).count();
}

// The rounds of one account, taken together: all requests over all time; the
// middle value of the rounds' percentiles.
bench::LoadResult Combine(std::vector<bench::LoadResult> rounds) {
    bench::LoadResult total;
    for (const auto& r : rounds) {
        total.requests += r.requests;
        total.failures += r.failures;
        total.seconds += r.seconds;
    }
    auto middle = [&rounds](double bench::LoadResult::*field) {
        std::sort(rounds.begin(), rounds.end(),
                  [field](const auto& a, const auto& b) { return a.*field < b.*field; });
        return rounds[rounds.size() / 2].*field;
    };
    total.p50Ms = middle(&bench::LoadResult::p50Ms);
    total.p99Ms = middle(&bench::LoadResult::p99Ms);
    total.lastByteP50Ms = middle(&bench::LoadResult::lastByteP50Ms);
    total.lastByteP99Ms = middle(&bench::LoadResult::lastByteP99Ms);
    total.replyBytes = rounds.front().replyBytes;
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 8800;
    std::string request = "GetAdminList.asp?";
    std::string conns = "1,8,64,256";
    std::string user = "admin";
    std::string password = "admin";
    std::string compareUser;
    std::string comparePassword;
    double seconds = 3;
    int rounds = 4;
    int serverPid = 0;
    int comparePort = 0;
    int comparePid = 0;
    bool login = true;
    bool tls = false;
    bool compareTls = false;
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
        else if (arg == "--request")
            request = next();
        else if (arg == "--conns")
            conns = next();
        else if (arg == "--seconds")
            seconds = std::atof(next().c_str());
        else if (arg == "--user")
            user = next();
        else if (arg == "--password")
            password = next();
        else if (arg == "--compare-user")
            compareUser = next();
        else if (arg == "--compare-password")
            comparePassword = next();
        else if (arg == "--rounds")
            rounds = std::max(1, std::atoi(next().c_str()));
        else if (arg == "--compare-port")
            comparePort = std::atoi(next().c_str());
        else if (arg == "--compare-pid")
            comparePid = std::atoi(next().c_str());
        else if (arg == "--server-pid")
            serverPid = std::atoi(next().c_str());
        else if (arg == "--no-login")
            login = false;
        else if (arg == "--tls")
            tls = true;
        else if (arg == "--compare-tls")
            compareTls = true;
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    const bool comparing = !compareUser.empty() || comparePort != 0;
    if (compareUser.empty()) {
        compareUser = user;
        comparePassword = password;
    }
    if (comparePort == 0) comparePort = port;
    // Another server's processor time is only known from its own pid.
    if (comparePid == 0 && comparePort == port) comparePid = serverPid;
    const std::string compareLabel =
        comparePort != port ? "port " + std::to_string(comparePort) : compareUser;
    auto gbkRequest = Utf8ToGbk(request);
    auto gbkLogin = LoginRequest(user, password);
    auto gbkCompare = LoginRequest(compareUser, comparePassword);
    if (!gbkRequest || !gbkLogin || !gbkCompare) {
        std::fprintf(stderr, "request is not encodable in GBK\n");
        return 2;
    }
    if (comparing && !login) {
        std::fprintf(stderr, "comparing needs logins\n");
        return 2;
    }
    if (!Probe(port, tls, login ? gbkLogin : std::nullopt, *gbkRequest, user) ||
        (comparing && !Probe(comparePort, compareTls, gbkCompare, *gbkRequest, compareLabel))) {
        return 1;
    }

    bench::EchoServer echo;
    std::printf("request: %s\n", request.c_str());
    if (login) std::printf("logged in as: %s\n", user.c_str());
    std::printf("%6s | %10s %8s %8s | %10s %8s %8s | %6s", "conns", "echo rps", "p50 ms", "p99 ms",
                "server rps", "p50 ms", "p99 ms", "ratio");
    if (comparing) {
        std::printf(" | %10s %8s %8s | %6s", (compareLabel + " rps").c_str(), "p50 ms", "p99 ms",
                    "vs");
    }
    std::printf("\n");
    for (const std::string& n : SplitList(conns, ",")) {
        bench::LoadSpec spec;
        spec.request = *gbkRequest;
        spec.connections = std::strtoul(n.c_str(), nullptr, 10);
        spec.duration = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        spec.port = echo.Port();
        bench::LoadResult base = bench::RunLoad(spec);
        spec.port = port;
        spec.tls = tls;
        if (login) spec.setup = {*gbkLogin};
        bench::LoadResult server;
        bench::LoadResult other;
        std::string cpuNote;
        auto run = [](int pid, const bench::LoadSpec& s, const bench::Connections& c,
                      std::vector<bench::LoadResult>& into, double& cpu) {
            const double before = CpuSecondsOf(pid);
            into.push_back(bench::RunLoad(s, c));
            cpu += CpuSecondsOf(pid) - before;
        };
        auto perRequest = [](double cpu, const bench::LoadResult& r) {
            return std::to_string(cpu * 1e6 / static_cast<double>(r.requests)) + " us";
        };
        std::vector<bench::LoadResult> mine;
        double mineCpu = 0;
        if (!comparing) {
            const bench::Connections connections(spec);
            run(serverPid, spec, connections, mine, mineCpu);
            server = mine.front();
            if (serverPid && server.requests) {
                cpuNote = "  server cpu per request: " + perRequest(mineCpu, server);
            }
        } else {
            bench::LoadSpec compare = spec;
            compare.setup = {*gbkCompare};
            compare.port = comparePort;
            compare.tls = compareTls;
            spec.duration /= rounds;
            compare.duration /= rounds;
            std::vector<bench::LoadResult> theirs;
            double theirCpu = 0;
            // Both accounts' connections log in once, before any round: a
            // login hashes a password, which must not count as the request.
            const bench::Connections mineConnections(spec);
            const bench::Connections theirConnections(compare);
            for (int round = 0; round < rounds; ++round) {
                if (round % 2 == 0) run(serverPid, spec, mineConnections, mine, mineCpu);
                run(comparePid, compare, theirConnections, theirs, theirCpu);
                if (round % 2 == 1) run(serverPid, spec, mineConnections, mine, mineCpu);
            }
            server = Combine(mine);
            other = Combine(theirs);
            std::vector<std::string> notes;
            if (serverPid && server.requests) notes.push_back(user + " " + perRequest(mineCpu, server));
            if (comparePid && other.requests) {
                notes.push_back(compareLabel + " " + perRequest(theirCpu, other));
            }
            for (const std::string& note : notes) {
                cpuNote += (cpuNote.empty() ? "  server cpu per request: " : ", ") + note;
            }
        }
        std::printf("%6zu | %10.0f %8.3f %8.3f | %10.0f %8.3f %8.3f | %6.2f", spec.connections,
                    base.Throughput(), base.p50Ms, base.p99Ms, server.Throughput(), server.p50Ms,
                    server.p99Ms, server.Throughput() / base.Throughput());
        if (comparing) {
            std::printf(" | %10.0f %8.3f %8.3f | %6.2f", other.Throughput(), other.p50Ms,
                        other.p99Ms, server.Throughput() / other.Throughput());
        }
        std::printf("%s\n", server.failures || other.failures ? "  (failures!)" : "");
        // The reader waits a quiet grace period before a long reply is
        // whole; the server has sent it by its last byte.
        auto lastByte = [](const std::string& who, const bench::LoadResult& r) {
            if (r.replyBytes < kFramePiece) return;
            std::printf("       | %sreply of %zu bytes, to its last byte: p50 %.3f ms, p99 %.3f ms\n",
                        who.c_str(), r.replyBytes, r.lastByteP50Ms, r.lastByteP99Ms);
        };
        lastByte(comparing ? user + ": " : "", server);
        if (comparing) lastByte(compareLabel + ": ", other);
        if (!cpuNote.empty()) std::printf("%s\n", cpuNote.c_str());
        std::fflush(stdout);
    }
    return 0;
}

// Load on a running warden-server, side by side with the echo baseline of
// this machine in the same run.
//
//   warden-load --port 8800 [--request 'GetUserBInfo.asp?username=u1']
//               [--conns 1,8,64,256] [--seconds 3] [--no-login] [--password admin]
//
// Prints, per connection count, throughput and p50/p99 latency for the echo
// baseline and for the server, and the server-to-baseline throughput ratio.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/EchoServer.h"
#include "bench/LoadGenerator.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

using namespace warden;

int main(int argc, char** argv) {
    int port = 8800;
    std::string request = "GetAdminList.asp?";
    std::string conns = "1,8,64,256";
    std::string password = "admin";
    double seconds = 3;
    bool login = true;
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
        else if (arg == "--password")
            password = next();
        else if (arg == "--no-login")
            login = false;
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    auto gbkRequest = Utf8ToGbk(request);
    auto gbkLogin = Utf8ToGbk("LoginCheck.asp?username=admin`password=" + password + "`ver=1.5");
    if (!gbkRequest || !gbkLogin) {
        std::fprintf(stderr, "request is not encodable in GBK\n");
        return 2;
    }

    bench::EchoServer echo;
    std::printf("request: %s\n", request.c_str());
    std::printf("%6s | %10s %8s %8s | %10s %8s %8s | %6s\n", "conns", "echo rps", "p50 ms",
                "p99 ms", "server rps", "p50 ms", "p99 ms", "ratio");
    for (const std::string& n : SplitList(conns, ",")) {
        bench::LoadSpec spec;
        spec.request = *gbkRequest;
        spec.connections = std::strtoul(n.c_str(), nullptr, 10);
        spec.duration = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        spec.port = echo.Port();
        bench::LoadResult base = bench::RunLoad(spec);
        spec.port = port;
        if (login) spec.setup = {*gbkLogin};
        bench::LoadResult server = bench::RunLoad(spec);
        std::printf("%6zu | %10.0f %8.3f %8.3f | %10.0f %8.3f %8.3f | %6.2f%s\n", spec.connections,
                    base.Throughput(), base.p50Ms, base.p99Ms, server.Throughput(), server.p50Ms,
                    server.p99Ms, server.Throughput() / base.Throughput(),
                    server.failures ? "  (failures!)" : "");
        std::fflush(stdout);
    }
    return 0;
}

// Protocol fuzzer against a live warden-server on this machine: every request
// kind of the protocol with mutated parameters (reserved characters, invalid
// GBK, zero bytes, huge values, repeated or missing keys, names in the wrong
// case), some written in pieces, a few over the size cap. It checks that every
// reply is a non-empty GBK text, that only over-long requests cost their
// connection, and that the server still answers at the end.
//
//   warden-fuzz --port P [--requests 20000] [--conns 4] [--seconds 300]
//               [--seed N] [--password admin] [--max-request 1048576] [--pid PID]
//
// It changes the directory it talks to: run it against a scratch server.
// Loopback only; bounded by --requests and --seconds. Exit status 0 when
// nothing went wrong.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/WireClient.h"
#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"

using namespace warden;
using namespace std::chrono_literals;

namespace {

struct Shape {
    const char* name;
    std::vector<const char*> keys;
    bool hashes = false;  // the server hashes a password for it
};

// Every request of the protocol with the keys consoles send.
const std::vector<Shape> kShapes = {
    {"LoginCheck.asp", {"username", "password", "ver"}, true},
    {"QueryUserAdminDepts.asp", {"username"}},
    {"GetChildDepts.asp", {"deptId"}},
    {"GetDeptUsers.asp", {"deptId"}},
    {"GetUserBInfo.asp", {"username"}},
    {"GetUserRoles.asp", {"username"}},
    {"GetUserDepts.asp", {"username"}},
    {"GetAllRoles.asp", {}},
    {"Get2NdAdminRoles.asp", {"username"}},
    {"GetAdminList.asp", {}},
    {"GetRoleDescription.asp", {"rolename"}},
    {"GetRightsOfRole.asp", {"rolename"}},
    {"GetAllRights.asp", {}},
    {"DeptAdd.asp", {"deptid", "parentdept"}},
    {"DeptDelete.asp", {"deptid"}},
    {"UserAdd.asp",
     {"username", "deptname", "name", "position", "gender", "mobile", "phone", "email", "pwd",
      "roles"}},
    {"UserDelete.asp", {"username"}},
    {"DeptChange.asp",
     {"op", "origdeptname", "newdeptname", "newparentdept", "username", "name", "position",
      "mobile", "phone", "pwd", "roles", "level", "deptname"}},
    {"GetSameLevelDepts.asp", {"deptId"}},
    {"SetDeptOrder.asp", {"deptName", "nextDeptName", "isLast"}},
    {"RoleAdmin.asp", {"op", "name", "newname", "desc", "rightInfo"}},
    {"UpdateRoleRight.asp", {"name", "rightInfo"}},
    {"SaveAdminDepts.asp", {"username", "pwd", "depts", "adminroles"}},
    {"CheckUserExist.asp", {"username"}},
    {"DeleteAdmin.asp", {"username"}},
    {"ChangePwd.asp", {"username", "password"}, true},
    {"GetAuditLog.asp",
     {"from", "to", "account", "target", "beforetime", "beforeid", "count"}},
    {"SearchUsers.asp", {"text", "count"}},
    {"GetAdminEffective.asp", {"username"}},
    {"CheckPermission.asp", {"checkfor", "checkrequest", "username", "deptname", "rolename"}},
};

struct Options {
    int port = 0;
    std::string password = "admin";
    long requests = 20000;
    int conns = 4;
    double seconds = 300;
    unsigned seed = 1;
    size_t maxRequest = 1 << 20;
    int pid = 0;
};

struct Totals {
    std::atomic<long> sent{0}, replies{0}, unknown{0}, missing{0}, closed{0}, refused{0}, split{0},
        bad{0};
    std::mutex mutex;
    std::map<std::string, long> perKind;
    std::string badSample;
};

// Whether the server answers `request`, made for the request `name`: it
// answers bad GBK with the general error, and every request it knows except
// a change whose operation it does not know. Three names must match exactly,
// the others in any case. Knowing this keeps the fuzzer from waiting for
// replies that never come, or taking a late reply for the next one.
bool ExpectsReply(const std::string& request, std::string_view name) {
    const std::string_view wire = std::string_view(request).substr(0, request.find('\0'));
    const std::optional<std::string> utf8 = GbkToUtf8(wire);
    if (!utf8) return true;
    const std::vector<std::string> pieces = SplitList(Trim(*utf8), "?");
    if (pieces.empty()) return false;
    const bool exact =
        name == "GetSameLevelDepts.asp" || name == "SetDeptOrder.asp" || name == "RoleAdmin.asp";
    if (exact ? pieces[0] != name : !EqualsNoCase(pieces[0], name)) return false;
    std::vector<std::string> ops;
    if (name == "DeptChange.asp") ops = {"changedeptname", "changeparent"};
    if (name == "RoleAdmin.asp") ops = {"add", "del", "update"};
    if (ops.empty()) return true;
    std::string op;
    if (pieces.size() == 2) {
        for (const std::string& item : SplitList(pieces[1], "`")) {
            if (item.rfind("op=", 0) == 0) op = item.substr(3);
        }
    }
    for (const std::string& known : ops) {
        if (EqualsNoCase(op, known)) return true;
    }
    return false;
}

class Generator {
  public:
    explicit Generator(unsigned seed) : m_rng(seed) {}

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_rng); }

    std::string Chinese(int chars) {
        std::string s;
        for (int i = 0; i < chars; ++i) {
            s += static_cast<char>(0xB0 + Pick(0xF7 - 0xB0));
            s += static_cast<char>(0xA1 + Pick(0xFE - 0xA1));
        }
        return s;
    }

    // One value: mostly plausible, often hostile. GBK bytes.
    std::string Value(bool forPassword) {
        static const char* kNames[] = {
            "销售部", "研发部", "\\销售部", "\\销售部\\一组", "u1", "User", "0", "1", "-1", "1.5"};
        static const char kSeparators[] = ",|\\;^?=` \t\r\n";
        switch (Pick(11)) {
            case 0:
            case 1:
            case 2: {
                std::string name = kNames[Pick(std::size(kNames))];
                if (!forPassword && Chance(0.2)) name = "admin";
                return bench::ToGbk(name);
            }
            case 3:
                return Chinese(1 + Pick(8));
            case 4:
                return "fz" + std::to_string(Pick(50));
            case 5: {  // a list
                std::string list;
                const char sep = ",|;^\\"[Pick(5)];
                for (int i = 0, n = 1 + Pick(10); i < n; ++i) {
                    list += (i ? std::string(1, sep) : "") + Chinese(1 + Pick(3));
                    if (Chance(0.3)) list += "|" + std::to_string(Pick(2)) + "|" + "1";
                }
                return list;
            }
            case 6: {  // reserved characters
                std::string s;
                for (int i = 0, n = 1 + Pick(6); i < n; ++i) s += kSeparators[Pick(13)];
                return s + Chinese(1);
            }
            case 7:  // long
                return Chance(0.5) ? std::string(1000 + Pick(60000), 'a')
                                   : Chinese(500 + Pick(5000));
            case 8: {  // invalid GBK
                static const char* kBad[] = {"\x81", "\xFF", "\x80", "\xA1", "\xFE\x7F"};
                return Chinese(1) + kBad[Pick(5)] + Chinese(1);
            }
            case 9:
                return std::string("a\0b", 3);
            default:
                return "";
        }
    }

    // A whole request and whether its name is intact.
    std::string Request(const Shape& shape, bool& nameIntact) {
        std::string name = shape.name;
        nameIntact = true;
        if (Chance(0.08)) {
            for (char& c : name) c = Chance(0.5) ? static_cast<char>(std::toupper(c)) : c;
        } else if (Chance(0.02)) {
            name = Chinese(3) + ".asp";
        }
        std::string params;
        std::vector<const char*> keys = shape.keys;
        if (Chance(0.1) && !keys.empty()) keys.push_back(keys[Pick(keys.size())]);  // repeated
        if (Chance(0.1)) keys.push_back("zz");
        const bool password = std::string(shape.name) == "ChangePwd.asp";
        static const char* kOps[] = {"changedeptname", "changeparent", "add", "del", "update"};
        for (const char* key : keys) {
            if (Chance(0.05)) continue;  // missing
            if (!params.empty()) params += Chance(0.05) ? "``" : "`";
            params += key;
            if (!Chance(0.03)) params += "=";
            if (std::string(key) == "op") {
                params += kOps[Pick(std::size(kOps))];  // an unknown one gets no reply
            } else {
                params += Value(password && std::string(key) == "username");
            }
        }
        std::string request = name + (Chance(0.03) ? "" : "?") + params;
        if (Chance(0.05) && !request.empty()) {  // bytes flipped at random
            for (int i = 0, n = 1 + Pick(4); i < n; ++i) {
                request[Pick(request.size())] = static_cast<char>(Pick(256));
            }
        }
        if (Chance(0.03)) request = "  " + request + "\r\n";
        nameIntact = ExpectsReply(request, shape.name);
        return request;
    }

  private:
    std::mt19937 m_rng;
};

const std::string kGeneralError = bench::ToGbk("error:处理请求失败,请检查数据后重新提交");

bool ValidReply(const std::string& reply) {
    return !reply.empty() && GbkToUtf8(reply).has_value();
}

void Fuzz(const Options& options, int index, long quota, std::chrono::steady_clock::time_point end,
          Totals& totals) {
    Generator gen(options.seed * 7919 + static_cast<unsigned>(index));
    // The last connection never logs in: every request must be refused cleanly.
    const bool login = index != options.conns - 1 || options.conns == 1;
    auto connect = [&] {
        bench::WireClient client(options.port);
        if (login && client.Connected()) client.Login(options.password);
        return client;
    };
    bench::WireClient client = connect();
    for (long i = 0; i < quota && std::chrono::steady_clock::now() < end; ++i) {
        if (!client.Connected()) {
            ++totals.closed;
            client = connect();
            if (!client.Connected()) break;
        }
        // A password hash costs the server far more than any other request,
        // so the two requests that hash come a tenth as often.
        const Shape* pick = &kShapes[gen.Pick(kShapes.size())];
        while (pick->hashes && !gen.Chance(0.1)) pick = &kShapes[gen.Pick(kShapes.size())];
        const Shape& shape = *pick;
        bool intact = false;
        std::string request = gen.Request(shape, intact);
        const bool oversize = gen.Chance(0.002);
        if (oversize)
            request += std::string(
                options.maxRequest + 1 - std::min(request.size(), options.maxRequest), 'x');
        {
            std::lock_guard lock(totals.mutex);
            ++totals.perKind[shape.name];
        }
        ++totals.sent;
        bool sent = true;
        if (!oversize && request.size() > 1500 && gen.Chance(0.1)) {
            // Pieces of one send, apart by less than the grace period.
            ++totals.split;
            for (size_t at = 0; at < request.size() && sent; at += 1400) {
                sent = client.Send(request.substr(at, 1400));
                std::this_thread::sleep_for(std::chrono::milliseconds(gen.Pick(40)));
            }
        } else {
            sent = client.Send(request);
        }
        std::optional<std::string> reply;
        // A request the server takes is always answered, if need be after a
        // password hash that waits for others; a name it does not know never is.
        if (sent) reply = client.Read(intact ? 30s : 300ms);
        if (reply) {
            ++totals.replies;
            if (!ValidReply(*reply)) {
                ++totals.bad;
                std::lock_guard lock(totals.mutex);
                if (totals.badSample.empty()) totals.badSample = shape.name;
            }
        } else if (!client.Closed() && sent) {
            ++(intact ? totals.missing : totals.unknown);
            if (intact && std::getenv("WARDEN_FUZZ_SHOW")) {
                std::string shown;
                for (unsigned char c : request.substr(0, 300)) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7f ? "%c" : "\\x%02x", c);
                    shown += hex;
                }
                std::fprintf(stderr, "unanswered: %s\n", shown.c_str());
            }
        }
        if (oversize) {
            ++totals.refused;
            if (!reply || *reply != kGeneralError) ++totals.bad;
            client = connect();  // the server closes it after the refusal
        } else if (client.Closed() || !sent) {
            client.Close();
        } else if (!reply && request.size() >= warden::kFramePiece) {
            // A long request that got no reply may still be in the server's
            // quiet time (or its timer late on a loaded machine); a next
            // request sent now would join it as one message, since nothing
            // on the wire separates the two. A fresh connection keeps the
            // next request whole.
            client = connect();
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
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
            options.port = std::atoi(next().c_str());
        else if (arg == "--password")
            options.password = next();
        else if (arg == "--requests")
            options.requests = std::atol(next().c_str());
        else if (arg == "--conns")
            options.conns = std::max(1, std::atoi(next().c_str()));
        else if (arg == "--seconds")
            options.seconds = std::min(3600.0, std::atof(next().c_str()));
        else if (arg == "--seed")
            options.seed = static_cast<unsigned>(std::atol(next().c_str()));
        else if (arg == "--max-request")
            options.maxRequest = std::strtoul(next().c_str(), nullptr, 10);
        else if (arg == "--pid")
            options.pid = std::atoi(next().c_str());
        else {
            std::fprintf(stderr, "unknown option %s\n", arg.c_str());
            return 2;
        }
    }
    if (options.port <= 0) {
        std::fprintf(stderr, "usage: warden-fuzz --port P [--requests N] [--conns N] ...\n");
        return 2;
    }
    Totals totals;
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::milliseconds(static_cast<long>(options.seconds * 1000));
    std::vector<std::thread> threads;
    for (int i = 0; i < options.conns; ++i) {
        const long quota =
            options.requests / options.conns + (i < options.requests % options.conns);
        threads.emplace_back([&, i, quota] { Fuzz(options, i, quota, end, totals); });
    }
    for (auto& t : threads) t.join();
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    bench::WireClient check(options.port);
    const bool answers =
        check.Login(options.password) && check.AskText("GetAdminList.asp", 5s).has_value();
    const bool alive = options.pid == 0 || bench::ServerProbe{options.pid}.Alive();

    std::printf("kinds fuzzed: %zu of %zu\n", totals.perKind.size(), kShapes.size());
    std::printf(
        "requests %ld in %.1f s (%ld in pieces, %ld over the cap): replies %ld, not known to the "
        "server %ld, unanswered %ld, connections lost %ld, bad replies %ld%s%s\n",
        totals.sent.load(), elapsed, totals.split.load(), totals.refused.load(),
        totals.replies.load(), totals.unknown.load(), totals.missing.load(), totals.closed.load(),
        totals.bad.load(), totals.badSample.empty() ? "" : " (first after ",
        totals.badSample.empty() ? "" : (totals.badSample + ")").c_str());
    std::printf("server afterwards: %s, %s\n", alive ? "running" : "GONE",
                answers ? "answers a console" : "DOES NOT ANSWER");
    return totals.bad == 0 && totals.missing == 0 && totals.closed == 0 && alive && answers ? 0 : 1;
}

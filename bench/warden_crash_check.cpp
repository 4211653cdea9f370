// The kill -9 crash checker: runs warden-server on a temporary base
// directory, lets 16 consoles write to it (user adds, updates and deletes,
// administrator saves), kills it at a random moment, starts it again and
// checks what its files hold: every answered write is there, no user is half
// made or in no department, both databases pass their integrity checks, no
// temporary file is left, and every administrator's row and roles entry come
// from the same save. Loopback only; bounded in cycles and in time.
//
//   warden-crash-check [--cycles 30] [--connections 16] [--min-ms 300]
//                      [--max-ms 3000] [--max-seconds 1800] [--seed N]
//                      [--server PATH] [--no-login] [--keep]
//
// Prints one line per cycle and a closing summary; exits 0 when every check
// of every cycle held.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/CrashModel.h"
#include "bench/CrashServer.h"
#include "bench/WireClient.h"

using namespace warden;
using namespace warden::bench;

namespace {

struct Options {
    int cycles = 30;
    int connections = 16;
    int minMs = 300;
    int maxMs = 3000;
    int maxSeconds = 1800;
    unsigned seed = std::random_device{}();
    std::filesystem::path server;
    bool login = true;
    bool keep = false;
};

// What one console owns and did; it lives across cycles.
struct Console {
    std::vector<TrackedUser> users;
    std::vector<TrackedAdmin> admins;
    int nextUser = 0;
    long adds = 0, updates = 0, deletes = 0, saves = 0;  // answered as done
    long refused = 0;                                    // answered "error:"
    long unanswered = 0;                                 // no answer before the kill
};

std::atomic<int64_t> g_nextWrite{1};

// Writes until the server goes away. Only this console's users and
// administrators are touched, so their expected states need no lock.
void Write(int port, bool login, Console& console, int index, unsigned seed,
           std::atomic<int>& ready) {
    WireClient connection(port);
    const bool in = connection.Connected() && (!login || connection.Login("admin"));
    ++ready;
    if (!in) return;
    std::mt19937 random(seed);
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    for (;;) {
        std::vector<TrackedUser*> present;
        for (auto& user : console.users) {
            if (user.answered.exists) present.push_back(&user);
        }
        const size_t roll = pick(100);
        const int64_t write = g_nextWrite++;
        const std::string dept = kLoadDepartments[pick(kLoadDepartments.size())];
        const std::string data = "`name=" + UserNameOf(write) + "`position=" + PositionOf(write) +
                                 "`roles=User;`gender=男`mobile=138" + std::to_string(write) +
                                 "`phone=021`email=u" + std::to_string(write) + "@crash.test";
        if (present.empty() || roll < 45) {
            TrackedUser user;
            user.account = "t" + std::to_string(index) + "n" + std::to_string(console.nextUser++);
            const bool password = pick(4) == 0;  // hashing is slow; not every add needs it
            const UserState after{true, write, dept, password};
            auto reply =
                connection.AskText("UserAdd.asp?username=" + user.account + "`deptname=\\" + dept +
                                   "|" + data + (password ? "`pwd=pw" : ""));
            if (!reply) {
                user.pending = after;
                ++console.unanswered;
            } else if (*reply == "info:添加用户成功") {
                user.answered = after;
                ++console.adds;
            } else {
                ++console.refused;  // and nothing may have changed
            }
            console.users.push_back(user);
            if (!reply) return;
        } else if (roll < 75) {
            TrackedUser& user = *present[pick(present.size())];
            const bool updating = roll < 65;
            UserState after{true, write, dept, user.answered.password};
            if (!updating) after = UserState{};
            auto reply = updating
                             ? connection.AskText("UserAdd.asp?op=update`username=" + user.account +
                                                  "`deptname=\\" + dept +
                                                  "|`newdeptname=" + user.answered.dept + data)
                             : connection.AskText("UserDelete.asp?username=" + user.account);
            if (reply == (updating ? "info:修改用户信息成功" : "info:删除用户成功")) {
                user.answered = after;
                ++(updating ? console.updates : console.deletes);
            } else if (reply && reply->starts_with("error:")) {
                ++console.refused;
            } else {
                // No answer, or the delete's answer that hides a failure.
                user.pending = after;
                ++console.unanswered;
                if (!reply) return;
            }
        } else {
            TrackedAdmin& admin = console.admins[pick(console.admins.size())];
            auto reply = connection.AskText("SaveAdminDepts.asp?username=" + admin.account +
                                            "`pwd=`depts=" + AdminDeptsOf(write) +
                                            "`adminroles=" + AdminRolesOf(write));
            if (reply == "info:管理员设置成功") {
                admin.answered = write;
                ++console.saves;
            } else {
                // A refused save is not known to have changed nothing.
                admin.pending = write;
                ++(reply ? console.refused : console.unanswered);
                if (!reply) return;
            }
        }
    }
}

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-login") {
            options.login = false;
            continue;
        }
        if (arg == "--keep") {
            options.keep = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        const long number = std::atol(value.c_str());
        if (arg == "--cycles") {
            options.cycles = static_cast<int>(std::clamp(number, 1L, 1000L));
        } else if (arg == "--connections") {
            options.connections = static_cast<int>(std::clamp(number, 1L, 256L));
        } else if (arg == "--min-ms") {
            options.minMs = static_cast<int>(std::clamp(number, 0L, 600000L));
        } else if (arg == "--max-ms") {
            options.maxMs = static_cast<int>(std::clamp(number, 0L, 600000L));
        } else if (arg == "--max-seconds") {
            options.maxSeconds = static_cast<int>(std::clamp(number, 1L, 86400L));
        } else if (arg == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
        } else if (arg == "--server") {
            options.server = value;
        } else {
            return false;
        }
    }
    options.maxMs = std::max(options.maxMs, options.minMs);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: %s [--cycles N] [--connections N] [--min-ms MS] [--max-ms MS]\n"
                     "          [--max-seconds S] [--seed N] [--server PATH] [--no-login] "
                     "[--keep]\n",
                     argv[0]);
        return 2;
    }
    if (options.server.empty()) {
        options.server =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "warden-server";
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "warden-crash-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path base = pattern;
    const std::filesystem::path log = base.string() + ".log";
    {
        std::ofstream cfg(base / "server.cfg");
        cfg << "[LISTEN_PORT]\nPORT=0\n[TLS]\nPORT=0\n";
        if (!options.login) cfg << "[SECURITY]\nREQUIRE_LOGIN=0\n";
    }
    std::printf("base directory %s, server log %s, seed %u\n", base.c_str(), log.c_str(),
                options.seed);

    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    std::mt19937 random(options.seed);
    std::vector<Console> consoles(static_cast<size_t>(options.connections));
    for (size_t c = 0; c < consoles.size(); ++c) {
        for (int a = 0; a < 4; ++a) {
            consoles[c].admins.push_back(
                {"a" + std::to_string(c) + "k" + std::to_string(a), {}, {}});
        }
    }

    Findings total;
    total.directoryIntact = total.storeIntact = true;
    int cycles = 0, dirtyCycles = 0, failedIntegrity = 0;
    size_t leftByKills = 0, leftAfterRestart = 0;
    std::string fatal;
    auto server = std::make_unique<ServerRun>(options.server, base, log, std::chrono::seconds(60));
    if (server->Port() != 0) {
        WireClient setup(server->Port());
        if (options.login && !setup.Login("admin")) fatal = "cannot log in";
        for (const std::string& dept : kLoadDepartments) {
            if (setup.AskText("DeptAdd.asp?deptid=" + dept + "`parentdept=") !=
                "info:添加部门成功") {
                fatal = "cannot add the department " + dept;
            }
        }
    } else {
        fatal = server->Problem();
    }

    while (fatal.empty() && cycles < options.cycles && elapsed() < options.maxSeconds) {
        ++cycles;
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (size_t c = 0; c < consoles.size(); ++c) {
            threads.emplace_back(Write, server->Port(), options.login, std::ref(consoles[c]),
                                 static_cast<int>(c), static_cast<unsigned>(random()),
                                 std::ref(ready));
        }
        while (ready < options.connections)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int delay = std::uniform_int_distribution<int>(options.minMs, options.maxMs)(random);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        server->Kill();
        for (auto& thread : threads) thread.join();
        const size_t left = TemporaryFilesIn(base).size();
        leftByKills += left;

        server = std::make_unique<ServerRun>(options.server, base, log, std::chrono::seconds(60));
        if (server->Port() == 0) {
            fatal = "cycle " + std::to_string(cycles) + ": no restart: " + server->Problem();
            break;
        }
        const size_t leftNow = TemporaryFilesIn(base).size();
        leftAfterRestart += leftNow;

        std::vector<TrackedUser*> users;
        std::vector<TrackedAdmin*> admins;
        for (auto& console : consoles) {
            for (auto& user : console.users) users.push_back(&user);
            for (auto& admin : console.admins) admins.push_back(&admin);
        }
        Findings found;
        try {
            found = CheckAndSettle(base, users, admins);
        } catch (const std::exception& e) {
            fatal = "cycle " + std::to_string(cycles) + ": cannot check: " + e.what();
            break;
        }
        // The restarted server serves what the files hold.
        int served = 0, servedWrong = 0;
        WireClient check(server->Port());
        if (!options.login || check.Login("admin")) {
            for (TrackedUser* user : users) {
                if (!user->answered.exists || served == 5) continue;
                ++served;
                auto record = check.AskText("GetUserBInfo.asp?username=" + user->account);
                if (!record ||
                    !record->starts_with("name:" + UserNameOf(user->answered.write) + "|")) {
                    ++servedWrong;
                }
            }
        }
        total.lostWrites += found.lostWrites;
        total.halfMade += found.halfMade;
        total.orphans += found.orphans;
        total.adminMismatches += found.adminMismatches;
        total.unansweredDone += found.unansweredDone;
        total.unansweredUndone += found.unansweredUndone;
        if (!found.directoryIntact || !found.storeIntact) ++failedIntegrity;
        for (const auto& detail : found.details) {
            if (total.details.size() < 20) {
                total.details.push_back("cycle " + std::to_string(cycles) + ": " + detail);
            }
        }
        if (!found.Clean() || leftNow || servedWrong) ++dirtyCycles;
        std::printf(
            "cycle %3d: killed after %5d ms; %zu users; lost %d, half made %d, in no department "
            "%d, row/roles newly disagree %d, integrity %s/%s, temporary files %zu -> %zu, served "
            "%d/%d\n",
            cycles, delay, users.size(), found.lostWrites, found.halfMade, found.orphans,
            found.adminMismatches, found.directoryIntact ? "ok" : "BAD",
            found.storeIntact ? "ok" : "BAD", left, leftNow, served - servedWrong, served);
        std::fflush(stdout);
    }
    if (server) server->Stop();

    long adds = 0, updates = 0, deletes = 0, saves = 0, refused = 0, unanswered = 0;
    for (const auto& console : consoles) {
        adds += console.adds;
        updates += console.updates;
        deletes += console.deletes;
        saves += console.saves;
        refused += console.refused;
        unanswered += console.unanswered;
    }
    std::printf("\nsummary: %d cycles of kill -9 with %d connections in %.0f s\n", cycles,
                options.connections, elapsed());
    std::printf(
        "  answered writes: %ld (adds %ld, updates %ld, deletes %ld, admin saves %ld); "
        "refused %ld; unanswered at a kill %ld\n",
        adds + updates + deletes + saves, adds, updates, deletes, saves, refused, unanswered);
    std::printf("  unanswered writes found done: %d; found not done: %d\n", total.unansweredDone,
                total.unansweredUndone);
    std::printf("  answered writes lost: %d\n", total.lostWrites);
    std::printf("  half-made users: %d; accounts in no department: %d\n", total.halfMade,
                total.orphans);
    std::printf("  cycles failing an integrity check: %d\n", failedIntegrity);
    std::printf("  temporary files left by kills: %zu; left after restart: %zu\n", leftByKills,
                leftAfterRestart);
    std::printf("  administrators whose row and roles entry came to disagree: %d\n",
                total.adminMismatches);
    for (const auto& detail : total.details) std::printf("    %s\n", detail.c_str());
    if (!fatal.empty()) std::printf("  stopped: %s\n", fatal.c_str());
    const bool clean = fatal.empty() && dirtyCycles == 0;
    std::printf("  result: %s (%d of %d cycles clean)\n", clean ? "PASS" : "FAIL",
                cycles - dirtyCycles, cycles);
    if (!options.keep) {
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
        std::filesystem::remove(log, ec);
    } else {
        std::printf("  kept %s\n", base.c_str());
    }
    return clean ? 0 : 1;
}

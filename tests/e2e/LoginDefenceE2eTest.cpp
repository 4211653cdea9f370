// What an outsider can still do to logins, tried against the real server as
// the attacks were: locking the administrator out from another address,
// passing the limit with guesses sent at once, telling from the answer's time
// which accounts exist; and the operator's --unlock.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <vector>

#include "protocol/AuditRecord.h"
#include "tests/support/ServerProcess.h"

namespace warden::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kAdminFailed[] = "error:登录失败,请检查用户名和密码";
constexpr const char kUserFailed[] = "error:用户或密码错误";

std::string Login(const std::string& account, const std::string& password) {
    return "LoginCheck.asp?username=" + account + "`password=" + password + "`ver=1.5";
}

std::string Ask(Client& client, const std::string& request) {
    return client.Ask(request).value_or("<no reply>");
}

// Read from an address of its own, which no test locks.
std::vector<AuditRecord> Trail(int port) {
    Client admin(port, "127.0.0.9");
    if (!admin.LoginAsAdmin()) return {};
    return ParseAuditLog(Ask(admin, "GetAuditLog.asp?count=1000"));
}

// Adds the directory account "known" with the password "pw-known".
void AddKnownUser(int port) {
    Client admin(port, "127.0.0.9");
    ASSERT_TRUE(admin.LoginAsAdmin());
    ASSERT_EQ(Ask(admin, "DeptAdd.asp?deptid=D`parentdept="), "info:添加部门成功");
    ASSERT_EQ(Ask(admin, "UserAdd.asp?username=known`deptname=\\D\\|`pwd=pw-known`roles="),
              "info:添加用户成功");
}

TEST(LoginDefenceE2eTest, GuessesFromElsewhereNeitherLockTheAdministratorOutNorLastPastUnlock) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    {
        Client own(server.Port());
        ASSERT_TRUE(own.LoginAsAdmin());  // his address is now trusted
    }
    Client attacker(server.Port(), "127.0.0.2");
    ASSERT_TRUE(attacker.Connected());
    for (int i = 0; i < 12; ++i) EXPECT_EQ(Ask(attacker, Login("admin", "guess")), kAdminFailed);
    // The guessing address is locked; the administrator's is not.
    for (int i = 0; i < 3; ++i) {
        Client own(server.Port());
        EXPECT_TRUE(own.LoginAsAdmin()) << "attempt " << i;
    }
    Client another(server.Port(), "127.0.0.3");
    EXPECT_EQ(Ask(another, Login("admin", "admin")), "success|1") << "an untrusted address too";

    const RunResult unlock = RunProgram(BinaryDir() / "warden-server",
                                        {"--unlock", "ADMIN", "--base-dir", server.BaseDir()});
    EXPECT_EQ(unlock.exitCode, 0) << unlock.errors;
    // The pair lock is gone: the right password from the guessing address
    // is checked at once.
    EXPECT_EQ(Ask(attacker, Login("admin", "admin")), "success|1");
    const auto trail = Trail(server.Port());
    auto found = std::find_if(trail.begin(), trail.end(),
                              [](const AuditRecord& r) { return r.request == "--unlock"; });
    ASSERT_NE(found, trail.end());
    EXPECT_EQ(found->target, "ADMIN");
    EXPECT_EQ(found->level, "local");
    EXPECT_NE(found->detail.find("from 127.0.0.2: "), std::string::npos)
        << found->detail;
}

TEST(LoginDefenceE2eTest, UnlockWithoutARunningServerSaysSo) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    const std::filesystem::path base = server.BaseDir();
    server.Stop();
    const RunResult unlock =
        RunProgram(BinaryDir() / "warden-server", {"--unlock", "admin", "--base-dir", base});
    EXPECT_EQ(unlock.exitCode, 1);
    EXPECT_NE(unlock.errors.find("no running server"), std::string::npos) << unlock.errors;
}

TEST(LoginDefenceE2eTest, GuessesSentAtOnceAreCountedBeforeTheirHashIsDone) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    AddKnownUser(server.Port());
    constexpr int kGuesses = 40;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < kGuesses; ++i) clients.push_back(std::make_unique<Client>(server.Port()));
    std::vector<std::future<std::string>> replies;
    for (auto& client : clients) {
        replies.push_back(std::async(std::launch::async, [&client] {
            return Ask(*client, Login("known", "guess"));
        }));
    }
    for (auto& reply : replies) EXPECT_EQ(reply.get(), kUserFailed);
    // Every checked password leaves an entry counting the failures; refusals
    // without a check leave at most one per lock.
    int checked = 0;
    for (const AuditRecord& r : Trail(server.Port())) {
        if (r.detail.find("连续失败") != std::string::npos) ++checked;
    }
    EXPECT_LE(checked, 5);
    EXPECT_GE(checked, 1);
}

// The processor time all threads of process `pid` have used so far, in
// seconds.
double CpuSeconds(int pid) {
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    double total = 0;
    for (const auto& task : std::filesystem::directory_iterator(tasks)) {
        std::ifstream stat(task.path() / "schedstat");
        uint64_t ns = 0;
        if (stat >> ns) total += static_cast<double>(ns) / 1e9;
    }
    return total;
}

// A wrong password for an account that exists and for one that does not
// cost the server alike. What it spends is measured in processor time, which
// is what the answer's time consists of on a quiet machine: the wall time of
// a test on a machine shared with other builds varies tenfold. Each login
// costs a whole hash, which a skipped hash (an unknown account answered at
// once) never does.
TEST(LoginDefenceE2eTest, AnUnknownAccountTakesAsLongAsAKnownOne) {
    ServerProcess server("[SECURITY]\nLOGIN_FAILURES=1000\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    AddKnownUser(server.Port());
    Client client(server.Port());
    auto cost = [&](const char* account) {
        const double before = CpuSeconds(server.Pid());
        EXPECT_EQ(Ask(client, Login(account, "wrong")), kUserFailed);
        return CpuSeconds(server.Pid()) - before;
    };
    cost("nobody");  // whatever is made once, made before the samples
    // Fewer failures of "known" than slow its checks down; in turns, so that
    // a busy moment of the machine falls on both.
    std::vector<double> known, unknown;
    for (int i = 0; i < 11; ++i) {
        known.push_back(cost("known"));
        unknown.push_back(cost("nobody"));
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
        return v[v.size() / 2];
    };
    const double a = median(known), b = median(unknown);
    EXPECT_GT(a, 0.005) << "no hash measured";
    EXPECT_LT(std::abs(a - b), 0.2 * std::max(a, b)) << "known " << a << " s, unknown " << b << " s";
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "protocol/SplitList.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

unsigned ModeOf(const std::filesystem::path& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 0777 : 01000;  // 01000: missing
}

// Files with password hashes or personal data are the server's account's
// alone: new ones from the start, older ones from the next start on, when
// leftovers of crashed writes also go.
TEST(DataSafetyE2eTest, DataFilesArePrivateAndTightenedAtStart) {
    TempDir base;
    const std::vector<std::filesystem::path> files = {
        base.Path() / "vex/db/vexdb.db", base.Path() / "vex/db/vexdb.db-wal",
        base.Path() / "vex/db/vexdb.db-shm", base.Path() / "DB/db.dat",
        base.Path() / "RolesAdmin.ini"};
    {
        ServerProcess server("", base.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        Client client(server.Port());
        ASSERT_TRUE(client.LoginAsAdmin());
        ASSERT_EQ(client.Ask("SaveAdminDepts.asp?username=bob`depts=\\a;`adminroles=r|"),
                  "info:管理员设置成功");
        for (const auto& file : files) EXPECT_EQ(ModeOf(file), 0600u) << file;
    }
    const std::filesystem::path leftover = base.Path() / "RolesAdmin.ini.a1B2c3";
    std::ofstream(leftover) << "[half\n";
    std::vector<std::filesystem::path> loosened;
    for (const auto& file : files) {
        if (::chmod(file.c_str(), 0644) == 0) loosened.push_back(file);
    }
    ASSERT_GE(loosened.size(), 3u);

    ServerProcess server("", base.Path());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    const std::string said = server.ErrorOutput();
    for (const auto& file : loosened) {
        EXPECT_EQ(ModeOf(file), 0600u) << file;
        EXPECT_NE(said.find(file.string() + " holds password hashes or personal data: its mode "
                                            "was 0644, now 0600"),
                  std::string::npos)
            << said;
    }
    EXPECT_FALSE(std::filesystem::exists(leftover));
    EXPECT_NE(said.find("removed " + leftover.string()), std::string::npos) << said;
}

// Consoles keep adding users while the server is killed at a random moment:
// after the restart every add that was answered is there, whole, and every
// other one is either whole or absent, never an account in no department.
TEST(DataSafetyE2eTest, KillDuringAddsLeavesNoHalfMadeAccount) {
    TempDir base;
    constexpr int kCycles = 3, kConsoles = 4;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        std::mutex mutex;
        std::set<std::string> tried, answered;
        {
            ServerProcess server("", base.Path());
            ASSERT_TRUE(server.Started()) << server.ErrorOutput();
            Client setup(server.Port());
            ASSERT_TRUE(setup.LoginAsAdmin());
            if (cycle == 0) {
                ASSERT_EQ(setup.Ask("DeptAdd.asp?deptid=测试`parentdept="), "info:添加部门成功");
            }
            std::atomic<int> ready{0};
            std::vector<std::thread> consoles;
            for (int t = 0; t < kConsoles; ++t) {
                consoles.emplace_back([&, t] {
                    Client client(server.Port());
                    const bool in = client.LoginAsAdmin();
                    ++ready;
                    if (!in) return;
                    for (int i = 0;; ++i) {
                        const std::string user = "k" + std::to_string(cycle) + "_" +
                                                 std::to_string(t) + "_" + std::to_string(i);
                        {
                            std::lock_guard lock(mutex);
                            tried.insert(user);
                        }
                        auto reply = client.Ask("UserAdd.asp?username=" + user +
                                                    "`deptname=\\测试|`name=名" + user +
                                                    "`pwd=secret`roles=User;`position=工程师",
                                                10s);
                        if (!reply) return;  // the server is gone
                        if (*reply == "info:添加用户成功") {
                            std::lock_guard lock(mutex);
                            answered.insert(user);
                        }
                    }
                });
            }
            // Killed once every console is adding and some adds were
            // answered, a little later in each cycle.
            for (int waited = 0; waited < 300; ++waited) {
                {
                    std::lock_guard lock(mutex);
                    if (ready == kConsoles && answered.size() >= kConsoles) break;
                }
                std::this_thread::sleep_for(100ms);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + 70 * cycle));
            ::kill(server.Pid(), SIGKILL);
            for (auto& console : consoles) console.join();
            server.Stop();
        }
        ASSERT_FALSE(answered.empty());

        ServerProcess server("", base.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        Client client(server.Port());
        ASSERT_TRUE(client.LoginAsAdmin());
        for (const std::string& user : tried) {
            SCOPED_TRACE(user);
            const bool exists = client.Ask("CheckUserExist.asp?username=" + user) == "info:";
            EXPECT_TRUE(exists || !answered.count(user));
            if (!exists) continue;
            EXPECT_EQ(client.Ask("GetUserDepts.asp?username=" + user), "测试");
            auto record = client.Ask("GetUserBInfo.asp?username=" + user);
            ASSERT_TRUE(record);
            EXPECT_TRUE(record->starts_with("name:名" + user + "|")) << *record;
            EXPECT_NE(record->find("|position:工程师|"), std::string::npos) << *record;
        }
    }
}

}  // namespace
}  // namespace warden::test

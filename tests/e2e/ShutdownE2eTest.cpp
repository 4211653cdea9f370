#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

#include "protocol/SplitList.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

// SIGTERM while 32 consoles keep saving administrators: every save that was
// answered "info:" is in the store afterwards, and the store opens again.
TEST(ShutdownE2eTest, SigtermUnderLoadLosesNoAnsweredChange) {
    TempDir base;
    std::set<std::string> confirmed;
    std::mutex mutex;
    std::atomic<int> sent{0}, answered{0};
    {
        ServerProcess server("[SECURITY]\nREQUIRE_LOGIN=0\n", base.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        std::atomic<bool> stop{false};
        std::vector<std::thread> consoles;
        for (int t = 0; t < 32; ++t) {
            consoles.emplace_back([&, t] {
                Client client(server.Port());
                for (int i = 0; !stop; ++i) {
                    const std::string name = "admin" + std::to_string(t) + "_" + std::to_string(i);
                    ++sent;
                    auto reply = client.Ask(
                        "SaveAdminDepts.asp?username=" + name + "`depts=\\销售部;`adminroles=User|",
                        10s);
                    if (!reply) break;  // refused: the server closed the connection
                    ++answered;
                    if (*reply == "info:管理员设置成功") {
                        std::lock_guard lock(mutex);
                        confirmed.insert(name);
                    }
                }
            });
        }
        // Stop once enough saves have been answered for the check to mean
        // something, however slow the machine is today.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        auto confirmedSoFar = [&] {
            std::lock_guard lock(mutex);
            return confirmed.size();
        };
        while (confirmedSoFar() <= 32 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_EQ(server.Stop(), 0) << server.ErrorOutput();
        stop = true;
        for (auto& c : consoles) c.join();
    }
    EXPECT_GT(confirmed.size(), 32u);
    EXPECT_LE(answered.load(), sent.load());

    ServerProcess again("[SECURITY]\nREQUIRE_LOGIN=0\n", base.Path());
    ASSERT_TRUE(again.Started()) << again.ErrorOutput();
    Client client(again.Port());
    auto list = client.Ask("GetAdminList.asp");
    ASSERT_TRUE(list.has_value());
    std::set<std::string> stored;
    for (auto& name : SplitList(*list, "|")) stored.insert(name);
    for (const std::string& name : confirmed) EXPECT_TRUE(stored.count(name)) << name;
}

}  // namespace
}  // namespace warden::test

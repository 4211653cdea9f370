#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "protocol/GbkCodec.h"
#include "server/store/RolesFile.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(RolesFileTest, KeepsOneSectionPerAccountInThePlainFormat) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    EXPECT_EQ(roles.Get("bob"), "");  // no file yet
    ASSERT_TRUE(roles.Set("bob", "经理|员工|"));
    ASSERT_TRUE(roles.Set("张三", "a=b;c#d|"));
    ASSERT_TRUE(roles.Set("Bob", "主管|"));  // the same section, in any case

    EXPECT_EQ(roles.Get("BOB"), "主管|");
    EXPECT_EQ(roles.Get("张三"), "a=b;c#d|");
    EXPECT_EQ(roles.Get("carol"), "");
    const std::string text = ReadFile(roles.Path());
    EXPECT_NE(text.find("[bob]\nROLES=主管|\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[张三]\nROLES=a=b;c#d|\n"), std::string::npos) << text;
}

// A roles file from an older installation is GBK: it is read, and the next
// write keeps its sections while turning the file into UTF-8.
TEST(RolesFileTest, AGbkFileIsReadAndRewrittenInUtf8) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    std::ofstream(roles.Path(), std::ios::binary)
        << *Utf8ToGbk("[张三]\r\nROLES=经理|员工|\r\n[li]\r\nROLES=主管|\r\n");
    EXPECT_EQ(roles.Get("张三"), "经理|员工|");
    ASSERT_TRUE(roles.Set("li", "销售|"));
    EXPECT_EQ(roles.Get("张三"), "经理|员工|");
    EXPECT_EQ(roles.Get("li"), "销售|");
    EXPECT_NE(ReadFile(roles.Path()).find("[张三]\nROLES=经理|员工|\n"), std::string::npos);
}

TEST(RolesFileTest, RefusesWhatWouldNotReadBackAndLeavesTheFileAlone) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    ASSERT_TRUE(roles.Set("admin", "all|"));
    const std::string before = ReadFile(roles.Path());
    EXPECT_FALSE(roles.Set("bob", "x|\n[admin]\nROLES=stolen|"));
    EXPECT_FALSE(roles.Set("bob", "x|\r"));
    EXPECT_FALSE(roles.Set("a]b", "x|"));
    EXPECT_FALSE(roles.Set(" bob", "x|"));
    EXPECT_FALSE(roles.Set("bob\n", "x|"));
    EXPECT_EQ(ReadFile(roles.Path()), before);
    EXPECT_EQ(roles.Get("admin"), "all|");
}

TEST(RolesFileTest, AFileThatCannotBeReadIsNotReplaced) {
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "RolesAdmin.ini");
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    EXPECT_FALSE(roles.Set("bob", "x|"));
    EXPECT_TRUE(std::filesystem::is_directory(roles.Path()));
    EXPECT_THROW(roles.Get("bob"), std::runtime_error);
}

// "No roles" for a file that could not be read would make a console that
// edits the account save his roles away: it is an error. Here the process
// has no descriptor left to open it with.
TEST(RolesFileTest, AFileThatCannotBeOpenedIsAnErrorNotNoRoles) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    ASSERT_TRUE(roles.Set("bob", "经理|"));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    std::vector<int> taken;
    for (int fd; (fd = ::dup(STDERR_FILENO)) >= 0;) taken.push_back(fd);
    bool threw = false;
    try {
        roles.Get("bob");
    } catch (const std::runtime_error&) {
        threw = true;
    }
    for (int fd : taken) ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(threw);
    EXPECT_EQ(roles.Get("bob"), "经理|");
}

TEST(RolesFileTest, TheFileIsPrivateAndLeftoversOfCrashedWritesAreRemoved) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    ASSERT_TRUE(roles.Set("bob", "经理|"));
    EXPECT_EQ(std::filesystem::status(roles.Path()).permissions(),
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    for (const char* name :
         {"RolesAdmin.ini.a1B2c3", "RolesAdmin.ini.Zz9Zz9", "RolesAdmin.ini.bak",
          "RolesAdmin.ini.a1B2c3d", "RolesAdmin.ini.a1B2-3", "Other.ini.a1B2c3"}) {
        std::ofstream(dir.Path() / name) << "[x]\n";
    }
    auto removed = roles.RemoveLeftovers();
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<std::filesystem::path>{dir.Path() / "RolesAdmin.ini.Zz9Zz9",
                                                           dir.Path() / "RolesAdmin.ini.a1B2c3"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 5);
    EXPECT_EQ(roles.Get("bob"), "经理|");
}

TEST(RolesFileTest, ConcurrentWritersLoseNothingAndLeaveNoTemporaryFiles) {
    TempDir dir;
    RolesFile roles(dir.Path() / "RolesAdmin.ini");
    constexpr int kThreads = 16, kEach = 10;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&roles, t] {
            for (int i = 0; i < kEach; ++i) {
                roles.Set("user" + std::to_string(t) + "_" + std::to_string(i),
                          "r" + std::to_string(t * 100 + i) + "|");
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kEach; ++i) {
            EXPECT_EQ(roles.Get("user" + std::to_string(t) + "_" + std::to_string(i)),
                      "r" + std::to_string(t * 100 + i) + "|");
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

}  // namespace
}  // namespace warden::test

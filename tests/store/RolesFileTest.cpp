#include <gtest/gtest.h>

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
    EXPECT_EQ(roles.Get("bob"), "");
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

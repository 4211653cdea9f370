#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "server/net/ControlChannel.h"
#include "tests/support/TempDir.h"

namespace warden {
namespace {

class ControlChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        ASSERT_TRUE(channel.Open(
            path,
            [this](const std::string& command, const ControlPeer& peer) {
                last = peer;
                return "got [" + command + "]";
            },
            problem))
            << problem;
    }

    std::string Send(const std::string& command) {
        std::string problem;
        return SendControlCommand(path, command, problem).value_or("<" + problem + ">");
    }

    test::TempDir dir;
    std::filesystem::path path = ControlSocketPath(dir.Path());
    ControlChannel channel;
    ControlPeer last{};
};

TEST_F(ControlChannelTest, OwnerCommandsAreAnsweredAndOnlyTheOwnerMayReadTheSocket) {
    EXPECT_EQ(Send("unlock\nadmin"), "got [unlock\nadmin]");
    EXPECT_EQ(last.uid, ::geteuid());
    EXPECT_EQ(last.pid, ::getpid());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A second server on the same folder leaves the first one's channel.
    ControlChannel second;
    std::string problem;
    EXPECT_FALSE(second.Open(path, {}, problem));
    EXPECT_NE(problem.find("another server"), std::string::npos) << problem;
    EXPECT_EQ(Send("ping"), "got [ping]");

    channel.Close();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(Send("ping").find("cannot connect"), std::string::npos);
}

TEST_F(ControlChannelTest, AnotherLocalAccountIsRefusedEvenWhenTheSocketIsOpenToIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "acting as another account needs root";
    // A folder and socket opened up by mistake.
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(path.c_str(), 0666);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string answer = ::setuid(65534) == 0 ? Send("unlock\nadmin") : "<setuid failed>";
        ::write(fds[1], answer.data(), answer.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(answer, "error\nonly the server's account or root may use this channel\n");
    EXPECT_EQ(last.pid, 0) << "the handler never ran";
}

}  // namespace
}  // namespace warden

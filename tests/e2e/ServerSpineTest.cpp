#include <gtest/gtest.h>

#include <sys/socket.h>

#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

TEST(ServerSpineTest, StartsOnAnEphemeralPortAndStopsCleanlyOnSigterm) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client client(server.Port());
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_NE(server.ErrorOutput().find("stopping"), std::string::npos);
}

TEST(ServerSpineTest, QuietCasesGetNoReplyAndKeepTheConnection) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    EXPECT_FALSE(client.Ask(" \r\n", 300ms).has_value());
    EXPECT_FALSE(client.Ask("NoSuchRequest.asp?x=1", 300ms).has_value());
    EXPECT_FALSE(client.Ask("???", 300ms).has_value());
    // Still usable: bad GBK is answered, so the connection was watched again.
    EXPECT_EQ(client.AskRaw("GetAdminList.asp?\x81"),
              Gbk("error:处理请求失败,请检查数据后重新提交"));
}

// Rare characters of names live in the user-defined areas of code page 936;
// they must reach the directory and come back byte for byte.
TEST(ServerSpineTest, UserDefinedAreaCharactersTravelUnchangedBothWays) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.AskRaw("CheckUserExist.asp?username=\xAA\xA1"),
              "error:\xAA\xA1" + Gbk("不存在,管理员须为VEX用户"));
    const std::string name = "\xF8\xA1\xA1\x40" + Gbk("部");
    EXPECT_EQ(client.AskRaw("DeptAdd.asp?deptid=" + name + "`parentdept="),
              Gbk("info:添加部门成功"));
    EXPECT_EQ(client.AskRaw("GetChildDepts.asp?deptId="), name);
    EXPECT_EQ(client.AskRaw("GetChildDepts.asp?deptId=\\" + name), " ");
}

TEST(ServerSpineTest, OversizedRequestIsRefusedAndTheConnectionClosed) {
    ServerProcess server("[SERVER]\nMAX_REQUEST=4096\n");
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    auto reply = client.AskRaw("GetAdminList.asp?x=" + std::string(10000, 'a'));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(*reply, Gbk("error:处理请求失败,请检查数据后重新提交"));
    char byte;
    EXPECT_LE(::recv(client.Fd(), &byte, 1, 0), 0);  // closed by the server
}

// Headless, a missing setting is said once, without a false word about the
// port.
TEST(ServerSpineTest, AMissingSettingIsTheOnlyReasonGiven) {
    const std::pair<const char*, const char*> cases[] = {
        {"[VEX_SERVER]\nIP_ADDRESS=\n", "请设置VEX服务器IP"},
        {"[VEX_PORT]\nPORT=\n", "请设置VEX服务器端口"},
        {"[LISTEN_PORT]\nPORT=\n", "请设置监听端口号"},
    };
    for (auto [config, message] : cases) {
        ServerProcess server(config);
        EXPECT_FALSE(server.Started()) << config;
        EXPECT_NE(server.ExitCode(), 0);
        const std::string errors = server.ErrorOutput();
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
        EXPECT_EQ(errors.find("listen on"), std::string::npos) << errors;
    }
}

// Text the directory holds that GBK cannot carry reaches the console as the
// substitute, and the rest of the reply as it is.
TEST(ServerSpineTest, TextGbkCannotCarryComesAsTheSubstitute) {
    TempDir base;
    OpenVexDirectory(base.Path() / "vex")->GetDeptManager().AddDept("研发\xF0\x9F\x98\x80部", "");
    ServerProcess server("", base.Path());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client client(server.Port());
    ASSERT_TRUE(client.LoginAsAdmin());
    EXPECT_EQ(client.Ask("GetChildDepts.asp?deptId="), "研发？部");
}

TEST(ServerSpineTest, UnusablePortFailsStartUpWithAMessage) {
    ServerProcess server("[LISTEN_PORT]\nPORT=70000\n");
    EXPECT_FALSE(server.Started());
    EXPECT_NE(server.ExitCode(), 0);
    EXPECT_NE(server.ErrorOutput().find("cannot listen"), std::string::npos);
}

}  // namespace
}  // namespace warden::test

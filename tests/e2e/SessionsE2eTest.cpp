// How logins end and what they count for, against the real server: idle and
// old logins end, a password change needs the current password and ends the
// account's other logins, a directory account without rights cannot hold the
// connections, and one account holds only so many.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "tests/support/ServerProcess.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

constexpr const char kLoginFirst[] = "error:请先登录";
constexpr const char kOldPasswordWrong[] = "error:原密码错误";
constexpr const char kAdminList[] = "GetAdminList.asp?";

std::string Ask(Client& client, const std::string& request) {
    return client.Ask(request).value_or("<no reply>");
}

std::string Login(const std::string& account, const std::string& password) {
    return "LoginCheck.asp?username=" + account + "`password=" + password + "`ver=1.5";
}

// Adds the department \D with the directory account `account` (password
// "pw-" + account), an administrator of \D when `admin`.
void AddUser(Client& super, const std::string& account, bool admin) {
    Ask(super, "DeptAdd.asp?deptid=D`parentdept=");
    ASSERT_EQ(Ask(super, "UserAdd.asp?username=" + account + "`deptname=\\D\\|`pwd=pw-" + account +
                             "`roles="),
              "info:添加用户成功");
    if (admin) {
        ASSERT_EQ(Ask(super, "SaveAdminDepts.asp?username=" + account + "`depts=\\D;`adminroles="),
                  "info:管理员设置成功");
    }
}

TEST(SessionsE2eTest, LoginsEndWhenIdleOrOldAndTheConnectionIsAskedToLogInAgain) {
    // 1.2 s idle, 3.6 s in all.
    ServerProcess server("[SECURITY]\nIDLE_MINUTES=0.02\nSESSION_HOURS=0.001\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client idle(server.Port()), busy(server.Port());
    ASSERT_TRUE(idle.LoginAsAdmin());
    ASSERT_TRUE(busy.LoginAsAdmin());
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < 1500ms) {
        ASSERT_EQ(Ask(busy, kAdminList), " ");  // in use: not idle
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_EQ(Ask(idle, kAdminList), kLoginFirst);
    EXPECT_TRUE(idle.LoginAsAdmin()) << "the connection stays, for a new login";
    EXPECT_EQ(Ask(idle, kAdminList), " ");
    // A login in use ends all the same when it is old.
    std::string reply;
    while ((reply = Ask(busy, kAdminList)) == " ") std::this_thread::sleep_for(300ms);
    EXPECT_EQ(reply, kLoginFirst);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3500ms);
}

TEST(SessionsE2eTest, APasswordChangeNeedsTheCurrentOneAndEndsTheAccountsOtherLogins) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client a(server.Port()), b(server.Port());
    ASSERT_TRUE(a.LoginAsAdmin());
    ASSERT_TRUE(b.LoginAsAdmin());
    EXPECT_EQ(Ask(b, "ChangePwd.asp?username=admin`password=taken"), kOldPasswordWrong);
    EXPECT_EQ(Ask(b, "ChangePwd.asp?username=admin`oldpassword=guess`password=taken"),
              kOldPasswordWrong);
    EXPECT_EQ(Ask(a, kAdminList), " ") << "a refused change ends nothing";
    EXPECT_EQ(Ask(b, "ChangePwd.asp?username=admin`oldpassword=admin`password=N3w-pass"),
              "success");
    EXPECT_EQ(Ask(a, kAdminList), kLoginFirst);
    EXPECT_EQ(Ask(a, "ChangePwd.asp?username=admin`oldpassword=admin`password=admin"), kLoginFirst);
    EXPECT_EQ(Ask(b, kAdminList), " ") << "the changer's own login stays";
    EXPECT_TRUE(a.LoginAsAdmin("N3w-pass"));

    // A user's password set by "UserAdd.asp" ends that user's logins.
    AddUser(b, "bob", true);
    Client bob(server.Port());
    ASSERT_EQ(Ask(bob, Login("bob", "pw-bob")), "success|0");
    ASSERT_EQ(Ask(bob, "QueryUserAdminDepts.asp?username=bob"), "|\\D;");
    ASSERT_EQ(Ask(b, "UserAdd.asp?op=update`username=bob`deptname=\\D\\|`newdeptname=`roles="),
              "info:修改用户信息成功");
    EXPECT_EQ(Ask(bob, "QueryUserAdminDepts.asp?username=bob"), "|\\D;") << "no password, no end";
    ASSERT_EQ(Ask(b, "UserAdd.asp?op=update`username=bob`deptname=\\D\\|`newdeptname=`pwd=reset`"
                     "roles="),
              "info:修改用户信息成功");
    EXPECT_EQ(Ask(bob, "QueryUserAdminDepts.asp?username=bob"), kLoginFirst);
    EXPECT_EQ(Ask(bob, Login("bob", "reset")), "success|0");
}

TEST(SessionsE2eTest, DirectoryAccountsWithoutRightsCannotHoldTheConnections) {
    ServerProcess server("[SERVER]\nMAX_CONNECTIONS=8\nMAX_ANONYMOUS=4\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    {
        Client super(server.Port());
        ASSERT_TRUE(super.LoginAsAdmin());
        AddUser(super, "gina", false);
    }
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 8; ++i) {
        held.push_back(std::make_unique<Client>(server.Port()));
        Ask(*held.back(), Login("gina", "pw-gina"));
    }
    Client super(server.Port());
    EXPECT_TRUE(super.LoginAsAdmin()) << "the oldest connection of gina's gave its place";
    EXPECT_EQ(Ask(super, kAdminList), " ");
}

TEST(SessionsE2eTest, OneAccountHoldsAtMostItsShareOfLogins) {
    ServerProcess server("[SECURITY]\nMAX_SESSIONS_PER_ACCOUNT=2\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    auto first = std::make_unique<Client>(server.Port());
    Client second(server.Port()), third(server.Port());
    ASSERT_TRUE(first->LoginAsAdmin());
    ASSERT_TRUE(second.LoginAsAdmin());
    EXPECT_EQ(Ask(third, Login("ADMIN", "admin")),
              "error:该账号同时登录的连接已达上限,请先退出其他控制台");
    EXPECT_EQ(Ask(third, kAdminList), kLoginFirst);
    EXPECT_TRUE(second.LoginAsAdmin()) << "a connection logging in again keeps its place";
    first.reset();
    std::string reply;
    for (int i = 0; i < 50 && (reply = Ask(third, Login("admin", "admin"))) != "success|1"; ++i) {
        std::this_thread::sleep_for(50ms);  // until the server has seen the close
    }
    EXPECT_EQ(reply, "success|1");
}

}  // namespace
}  // namespace warden::test

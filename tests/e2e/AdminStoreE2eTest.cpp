#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "server/store/Odbc.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";
constexpr const char kLogin[] = "LoginCheck.asp?username=";

std::string Login(const std::string& user, const std::string& password,
                  const std::string& ver = "1.5") {
    return kLogin + user + "`password=" + password + "`ver=" + ver;
}

std::filesystem::path Server() {
    return BinaryDir() / "warden-server";
}

TEST(AdminStoreE2eTest, FirstStartMakesTheDataFileAndWarnsAboutTheInitialPassword) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    EXPECT_TRUE(std::filesystem::is_regular_file(server.BaseDir() / "DB" / "db.dat"));
    EXPECT_NE(server.ErrorOutput().find("still has the initial password"), std::string::npos);
}

TEST(AdminStoreE2eTest, StartFailsLoudlyWithoutAUsableStore) {
    // A copy of the program with no template beside it, on an empty folder.
    TempDir program, base;
    std::filesystem::copy_file(Server(), program.Path() / "warden-server");
    RunResult run = RunProgram(program.Path() / "warden-server",
                               {"--headless", "--base-dir", base.Path().string()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("db.orig"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("listening"), std::string::npos);

    // A connection string that reaches no driver.
    std::ofstream(base.Path() / "server.cfg") << "[ADMIN_STORE]\nCONNECTION=DRIVER=NoSuch;X=%s\n";
    run = RunProgram(Server(), {"--headless", "--base-dir", base.Path().string()});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("打开数据库失败"), std::string::npos) << run.errors;
}

TEST(AdminStoreE2eTest, LoginAnswersAsTheConsoleExpects) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    EXPECT_EQ(client.Ask("GetAdminList.asp"), "error:请先登录");
    EXPECT_EQ(client.Ask(Login("admin", "admin", "1.6")),
              "error:此客户端版本与服务器端不匹配，请与管理员联系获得最新版本.");
    EXPECT_EQ(client.Ask(Login("admin", "nimda")), "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(client.Ask("GetAdminList.asp"), "error:请先登录");
    EXPECT_EQ(client.Ask(Login("ADMIN", "admin")), "success|1");
    EXPECT_EQ(client.Ask("GetAdminList.asp"), " ");

    Client other(server.Port());
    EXPECT_EQ(other.Ask(Login("admin", "admin")), "success|1");
}

TEST(AdminStoreE2eTest, AdministratorRequestsGiveEveryReply) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    ASSERT_TRUE(client.LoginAsAdmin());
    const std::string depts = "\\销售部\\华东区;\\研发部;";

    EXPECT_EQ(client.Ask("GetAdminList.asp"), " ");
    EXPECT_EQ(client.Ask("QueryUserAdminDepts.asp?username=张三"), "|");
    EXPECT_EQ(client.Ask("QueryUserAdminDepts.asp?username=Admin"), " ");
    EXPECT_EQ(client.Ask("Get2NdAdminRoles.asp?username=张三"), " ");

    EXPECT_EQ(client.Ask("SaveAdminDepts.asp?username=张三`pwd=ignored`depts=" + depts +
                         "`adminroles=经理|员工|"),
              "info:管理员设置成功");
    EXPECT_EQ(client.Ask("SaveAdminDepts.asp?username=bob`pwd=`depts=`adminroles="),
              "info:管理员设置成功");
    EXPECT_EQ(client.Ask("GetAdminList.asp"), "bob|张三|");
    EXPECT_EQ(client.Ask("QueryUserAdminDepts.asp?username=张三"), "|" + depts);
    EXPECT_EQ(client.Ask("Get2NdAdminRoles.asp?username=张三"), "经理|员工|");

    EXPECT_EQ(client.Ask("SaveAdminDepts.asp?username=张三`depts=\\财务部;`adminroles=主管|"),
              "info:管理员设置成功");
    EXPECT_EQ(client.Ask("QueryUserAdminDepts.asp?username=张三"), "|\\财务部;");
    EXPECT_EQ(client.Ask("Get2NdAdminRoles.asp?username=张三"), "主管|");
    // A name the roles file cannot carry is refused, and nothing is saved.
    EXPECT_EQ(client.Ask("SaveAdminDepts.asp?username=a]b`depts=d;`adminroles=r|"),
              "error:管理员信息设置失败");

    EXPECT_EQ(client.Ask("DeleteAdmin.asp?username=张三"), "info:删除成功");
    EXPECT_EQ(client.Ask("DeleteAdmin.asp?username=nobody"), "info:删除成功");
    EXPECT_EQ(client.Ask("DeleteAdmin.asp?username=admin"), "error:删除失败");
    EXPECT_EQ(client.Ask("GetAdminList.asp"), "bob|");
    EXPECT_EQ(client.Ask("Get2NdAdminRoles.asp?username=张三"), "主管|");  // roles stay

    EXPECT_EQ(client.Ask("ChangePwd.asp?username=admin`oldpassword=admin`password=新密码 2"), "success");
    EXPECT_EQ(client.Ask(Login("admin", "admin")), "error:登录失败,请检查用户名和密码");
    EXPECT_EQ(client.Ask(Login("admin", "新密码 2")), "success|1");
}

TEST(AdminStoreE2eTest, APasswordSurvivesARestartAndEndsTheWarning) {
    TempDir base;
    {
        ServerProcess server("", base.Path());
        ASSERT_TRUE(server.Started());
        Client client(server.Port());
        ASSERT_TRUE(client.LoginAsAdmin());
        ASSERT_EQ(client.Ask("ChangePwd.asp?username=Admin`oldpassword=admin`password=changed"), "success");
    }
    ServerProcess server("", base.Path());
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.ErrorOutput().find("initial password"), std::string::npos);
    Client client(server.Port());
    EXPECT_FALSE(client.LoginAsAdmin("admin"));
    EXPECT_TRUE(client.LoginAsAdmin("changed"));
}

TEST(AdminStoreE2eTest, SetAdminPasswordReadsStandardInput) {
    TempDir base;
    RunResult run = RunProgram(
        Server(), {"--set-admin-password", "--base-dir", base.Path().string()}, "s3cret 密码\n");
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(std::filesystem::exists(base.Path() / "DB" / "db.dat"));

    run = RunProgram(Server(), {"--set-admin-password", "--base-dir", base.Path().string()}, "\n");
    EXPECT_NE(run.exitCode, 0);  // an empty password is refused
    run = RunProgram(Server(), {"--set-admin-password", "--base-dir", base.Path().string()}, "");
    EXPECT_NE(run.exitCode, 0);  // so is no input at all

    ServerProcess server("", base.Path());
    ASSERT_TRUE(server.Started());
    EXPECT_EQ(server.ErrorOutput().find("initial password"), std::string::npos);
    Client client(server.Port());
    EXPECT_FALSE(client.LoginAsAdmin("admin"));
    EXPECT_TRUE(client.LoginAsAdmin("s3cret 密码"));
}

TEST(AdminStoreE2eTest, InitStoreMakesWhatTheConfiguredStoreLacksAndSaysSo) {
    TempDir base;
    const std::vector<std::string> init{"--init-store", "--base-dir", base.Path().string()};
    RunResult run = RunProgram(Server(), init);
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("created " + (base.Path() / "DB" / "db.dat").string()),
              std::string::npos)
        << run.errors;
    run = RunProgram(Server(), init);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.errors.find("nothing was created"), std::string::npos) << run.errors;

    // A store in another SQLite file: its table is made there, and the
    // template is not copied, since the connection does not use DB/db.dat.
    TempDir other;
    std::ofstream(other.Path() / "server.cfg")
        << "[LISTEN_PORT]\nPORT=0\n[TLS]\nPORT=0\n[ADMIN_STORE]\nCONNECTION=DRIVER="
        << SqliteOdbcDriver() << ";Database=%DIR%/admins.db\n";
    run = RunProgram(Server(), {"--init-store", "--base-dir", other.Path().string()});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("created table vex_2nd_admins"), std::string::npos) << run.errors;
    ServerProcess server("", other.Path());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    Client client(server.Port());
    EXPECT_TRUE(client.LoginAsAdmin());
    EXPECT_FALSE(std::filesystem::exists(other.Path() / "DB"));
}

TEST(AdminStoreE2eTest, AFailedDirectoryLoginLeavesTheConnectionLoggedOut) {
    ServerProcess server;
    ASSERT_TRUE(server.Started());
    Client client(server.Port());
    auto reply = client.Ask(Login("bob", "pw"));
    ASSERT_TRUE(reply.has_value());
    EXPECT_NE(*reply, "success|0");
    EXPECT_EQ(client.Ask("GetAdminList.asp"), "error:请先登录");
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "server/store/Odbc.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

// A site that keeps its admin store in PostgreSQL, set up as the README says:
// the connection in server.cfg, the store made with --init-store, then the
// server run headless and used as a console would.
TEST(PostgresE2eTest, AnAdministratorSavedOnPostgresLogsInAndEverythingSurvivesARestart) {
    const std::string connection = SharedPostgres().CreateDatabase();
    TempDir base;
    const std::filesystem::path cfg = base.Path() / "server.cfg";
    std::ofstream(cfg) << "[LISTEN_PORT]\nPORT=0\n[TLS]\nPORT=0\n[ADMIN_STORE]\nCONNECTION="
                       << connection << "\n";
    const std::filesystem::path server = BinaryDir() / "warden-server";
    const std::string dir = base.Path().string();
    const std::string password = connection.substr(connection.find("Pwd=") + 4);

    // A password others may read: the server does not start; --init-store,
    // which only makes tables, says so and goes on.
    ::chmod(cfg.c_str(), 0644);
    RunResult run = RunProgram(server, {"--headless", "--base-dir", dir});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("chmod 600"), std::string::npos) << run.errors;

    // An empty database is no store: the server says how to make one.
    ::chmod(cfg.c_str(), 0600);
    run = RunProgram(server, {"--headless", "--base-dir", dir});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.errors.find("--init-store"), std::string::npos) << run.errors;

    ::chmod(cfg.c_str(), 0644);
    run = RunProgram(server, {"--init-store", "--base-dir", dir});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_NE(run.errors.find("created table vex_2nd_admins"), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find("other users may read it"), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find(password), std::string::npos) << "the password was shown";
    EXPECT_EQ(run.output.find(password), std::string::npos) << "the password was shown";
    run = RunProgram(server, {"--init-store", "--base-dir", dir});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.errors.find("nothing was created"), std::string::npos) << run.errors;

    ::chmod(cfg.c_str(), 0600);
    {
        ServerProcess process("", base.Path());
        ASSERT_TRUE(process.Started()) << process.ErrorOutput();
        EXPECT_EQ(process.ErrorOutput().find("may read it"), std::string::npos);
        Client admin(process.Port());
        ASSERT_TRUE(admin.LoginAsAdmin());
        ASSERT_EQ(admin.Ask("DeptAdd.asp?deptid=研发部`parentdept="), "info:添加部门成功");
        ASSERT_EQ(admin.Ask("UserAdd.asp?username=zhang`deptname=\\研发部|`name=张 三`pwd=密码 1"),
                  "info:添加用户成功");
        EXPECT_EQ(admin.Ask("SaveAdminDepts.asp?username=Zhang`pwd=`depts=\\研发部;"
                            "`adminroles=User|"),
                  "info:管理员设置成功");
        EXPECT_EQ(admin.Ask("GetAdminList.asp"), "Zhang|");

        Client zhang(process.Port());
        EXPECT_EQ(zhang.Ask("LoginCheck.asp?username=zhang`password=密码 1`ver=1.5"), "success|0");
        EXPECT_EQ(zhang.Ask("QueryUserAdminDepts.asp?username=ZHANG"), "|\\研发部;");
        EXPECT_EQ(zhang.Ask("Get2NdAdminRoles.asp?username=zhang"), "User|");

        EXPECT_EQ(admin.Ask("ChangePwd.asp?username=ADMIN`oldpassword=admin`password=新密码"), "success");
    }
    EXPECT_FALSE(std::filesystem::exists(base.Path() / "DB"));  // no data file was made

    ServerProcess process("", base.Path());
    ASSERT_TRUE(process.Started()) << process.ErrorOutput();
    EXPECT_EQ(process.ErrorOutput().find("initial password"), std::string::npos);
    Client admin(process.Port());
    EXPECT_FALSE(admin.LoginAsAdmin("admin"));
    EXPECT_TRUE(admin.LoginAsAdmin("新密码"));
    EXPECT_EQ(admin.Ask("QueryUserAdminDepts.asp?username=zhang"), "|\\研发部;");

    // The password is stored as a hash, in the database itself.
    OdbcConnection db(connection);
    OdbcStatement query(db, "SELECT admin_pwd FROM vex_2nd_admins WHERE admin_name=?");
    query.Execute({std::string("admin")});
    ASSERT_TRUE(query.Fetch());
    EXPECT_TRUE(query.Text(1).value_or("").starts_with("$argon2id$"));
}

}  // namespace
}  // namespace warden::test

// Two servers, standing for two machines, on one organisation: the admin
// store in PostgreSQL with the administrators' roles in it, the directory in
// LDAP. What the super administrator changes through one is enforced by the
// other within the second both keep copies for; what either writes to the
// directory the other lists at once.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "tests/e2e/E2eDirectory.h"
#include "tests/support/PostgresCluster.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

constexpr const char kRefused[] = "error:没有权限执行此操作";
// Longer than any copy of the store's rows or the directory's facts lives.
constexpr auto kFreshness = std::chrono::milliseconds(1100);

TEST(TwoServersE2eTest, ChangesThroughOneAreEnforcedByTheOther) {
    const std::string config = "[ADMIN_STORE]\nCONNECTION=" + SharedPostgres().CreateDatabase() +
                               "\nROLES_IN_STORE=1\n" + DirectoryConfig();
    TempDir base1, base2;
    {
        WriteServerConfig(base1.Path() / "server.cfg", config);
        const RunResult init =
            RunProgram(BinaryDir() / "warden-server", {"--init-store", "--base-dir",
                                                       base1.Path().string()});
        ASSERT_EQ(init.exitCode, 0) << init.errors;
    }
    ServerProcess one(config, base1.Path());
    ServerProcess two(config, base2.Path());
    ASSERT_TRUE(one.Started()) << one.ErrorOutput();
    ASSERT_TRUE(two.Started()) << two.ErrorOutput();

    Client super(one.Port());
    ASSERT_TRUE(super.LoginAsAdmin());
    for (const char* request : {
             R"(DeptAdd.asp?deptid=销售部`parentdept=)",
             R"(DeptAdd.asp?deptid=研发部`parentdept=)",
             R"(RoleAdmin.asp?op=add`name=经理`desc=m`rightInfo=RIGHT_INNER_SEND_SMS|0|1)",
             R"(RoleAdmin.asp?op=add`name=总监`desc=d`rightInfo=RIGHT_INNER_SEND_SMS|0|1)",
             R"(UserAdd.asp?username=bob`deptname=\研发部\|`pwd=pw-bob`roles=)",
             R"(UserAdd.asp?username=carol`deptname=\销售部\|`pwd=pw-carol`roles=)",
             R"(SaveAdminDepts.asp?username=bob`pwd=`depts=\销售部;`adminroles=经理|)",
         }) {
        ASSERT_EQ(super.Ask(request).value_or("").rfind("info:", 0), 0u) << request;
    }

    // Bob works through the second server.
    Client bob(two.Port());
    ASSERT_EQ(bob.Ask("LoginCheck.asp?username=bob`password=pw-bob`ver=1.5"), "success|0");
    EXPECT_EQ(bob.Ask("QueryUserAdminDepts.asp?username=bob"), R"(|\销售部;)");
    EXPECT_EQ(bob.Ask("Get2NdAdminRoles.asp?username=bob"), "经理|");
    EXPECT_EQ(bob.Ask(R"(GetDeptUsers.asp?deptId=\销售部)"), "carol");
    const std::string giveCarol = R"(UserAdd.asp?op=update`username=carol`deptname=\销售部\|)"
                                  R"(`newdeptname=`roles=)";
    EXPECT_EQ(bob.Ask(giveCarol + "总监;"), kRefused);
    EXPECT_EQ(bob.Ask(giveCarol + "经理;"), "info:修改用户信息成功");

    // A user added through the second server is listed by the first at once.
    EXPECT_EQ(bob.Ask(R"(UserAdd.asp?username=dave`deptname=\销售部\|`pwd=pw-dave`roles=)"),
              "info:添加用户成功");
    EXPECT_EQ(super.Ask(R"(GetDeptUsers.asp?deptId=\销售部)"), "carol,dave");
    EXPECT_EQ(super.Ask("GetUserRoles.asp?username=carol"), "User=经理");

    // The super administrator moves bob's scope and roles through the first.
    ASSERT_EQ(super.Ask(R"(SaveAdminDepts.asp?username=bob`pwd=`depts=\研发部;`adminroles=总监|)"),
              "info:管理员设置成功");
    std::this_thread::sleep_for(kFreshness);
    EXPECT_EQ(bob.Ask(R"(GetDeptUsers.asp?deptId=\销售部)"), kRefused);
    EXPECT_EQ(bob.Ask(R"(GetDeptUsers.asp?deptId=\研发部)"), "bob");
    EXPECT_EQ(bob.Ask("Get2NdAdminRoles.asp?username=bob"), "总监|");
    EXPECT_EQ(bob.Ask(giveCarol + "总监;"), kRefused);  // carol is out of his scope now

    // Deleted through the first, he is no administrator on the second.
    ASSERT_EQ(super.Ask("DeleteAdmin.asp?username=bob"), "info:删除成功");
    std::this_thread::sleep_for(kFreshness);
    EXPECT_EQ(bob.Ask(R"(GetDeptUsers.asp?deptId=\研发部)"), kRefused);
    EXPECT_EQ(bob.Ask("QueryUserAdminDepts.asp?username=bob"), "|");
}

}  // namespace
}  // namespace warden::test

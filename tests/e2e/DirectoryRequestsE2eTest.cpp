#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>
#include <vector>

#include "protocol/SplitList.h"
#include "tests/support/ServerProcess.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

// The real server with its embedded directory in a fresh base folder, and
// one logged-in console connection. Every text goes over the wire in GBK.
class DirectoryRequestsE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started()) << m_server.ErrorOutput();
        m_client = std::make_unique<Client>(m_server.Port());
        ASSERT_TRUE(m_client->Connected());
        ASSERT_TRUE(m_client->LoginAsAdmin());
    }

    std::string Ask(const std::string& request) {
        auto reply = m_client->Ask(request);
        return reply ? *reply : "<no reply>";
    }

    ServerProcess m_server;
    std::unique_ptr<Client> m_client;
};

TEST_F(DirectoryRequestsE2eTest, DepartmentsAreAddedRenamedMovedAndDeleted) {
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=华东 销售部`parentdept="), "info:添加部门成功");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=研发部`parentdept="), "info:添加部门成功");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=上海 分部`parentdept=\\华东 销售部"), "info:添加部门成功");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=研发部`parentdept="), "error:部门已经存在");
    EXPECT_EQ(Ask("DeptAdd.asp?deptid=研发,二部`parentdept="),
              "error:名称中不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符");
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId="), "华东 销售部,研发部");
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId=\\"), "华东 销售部,研发部");

    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\华东 销售部"), "error:部门下含有子部门,不能删除");
    EXPECT_EQ(Ask("DeptChange.asp?op=changedeptname`origdeptname=\\华东 销售部\\上海 分部"
                  "`newdeptname=上海分部"),
              "info:修改部门成功");
    EXPECT_EQ(Ask("DeptChange.asp?op=changedeptname`origdeptname=\\研发部`newdeptname=华东 销售部"),
              "error:部门已经存在");
    EXPECT_EQ(Ask("DeptChange.asp?op=ChangeParent`origdeptname=\\研发部"
                  "`newparentdept=\\华东 销售部"),
              "info:修改部门成功");
    EXPECT_EQ(Ask("DeptChange.asp?op=changeparent`origdeptname=\\华东 销售部"
                  "`newparentdept=\\华东 销售部\\研发部"),
              "error:修改父部门失败");
    EXPECT_FALSE(m_client->Ask("DeptChange.asp?op=swap`origdeptname=\\华东 销售部", 300ms));
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\华东 销售部"), "上海分部,研发部");

    EXPECT_EQ(Ask("DeptDelete.asp?deptid=\\华东 销售部\\研发部"), "info:删除部门成功");
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\华东 销售部"), "上海分部");
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\华东 销售部\\上海分部"), " ");
}

TEST_F(DirectoryRequestsE2eTest, DepartmentsAreOrderedAmongTheirSiblings) {
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=总部`parentdept="), "info:添加部门成功");
    for (const char* name : {"甲", "乙", "丙"}) {
        ASSERT_EQ(Ask(std::string("DeptAdd.asp?deptid=") + name + "`parentdept=\\总部"),
                  "info:添加部门成功");
    }
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=总部`parentdept="), "error:部门已经存在");
    const std::string order = "SetDeptOrder.asp?deptName=";
    EXPECT_EQ(Ask(order + "\\总部\\丙`nextDeptName=\\总部\\甲`isLast=0"), "info:修改部门顺序成功");
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId=\\总部"), "丙,甲,乙");
    EXPECT_EQ(Ask(order + "\\总部\\丙`nextDeptName=\\总部\\乙\\`isLast=1"),
              "info:修改部门顺序成功");
    EXPECT_EQ(Ask("GetSameLevelDepts.asp?deptId=\\总部"), "甲,乙,丙");
    EXPECT_EQ(Ask(order + "\\总部\\无`nextDeptName=\\总部\\乙`isLast=0"), "error:修改部门顺序失败");
}

TEST_F(DirectoryRequestsE2eTest, UsersAreAddedMovedAndDeleted) {
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=销售部`parentdept="), "info:添加部门成功");
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=研发部`parentdept="), "info:添加部门成功");
    EXPECT_EQ(Ask("UserAdd.asp?username=wang`deptname=\\销售部|\\研发部|`name=王 五"
                  "`position= 经理`gender=女`mobile=137`phone=021`email=w@corp.cn`pwd=秘密 1"
                  "`roles=User;`level=7"),
              "info:添加用户成功");
    EXPECT_EQ(Ask("UserAdd.asp?username=wang`deptname=\\销售部|`name=x"), "error:用户已经存在");

    std::string record = Ask("GetUserBInfo.asp?username=wang");
    EXPECT_TRUE(
        record.starts_with("name:王 五|gender:女|mobile:137|email:w@corp.cn|phone:021|"
                           "auth:0|uin:"))
        << record;
    EXPECT_TRUE(record.ends_with("|position:经理|level:7")) << record;
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部"), "wang");
    EXPECT_EQ(Ask("GetUserRoles.asp?username=wang"), "User");
    EXPECT_EQ(Ask("CheckUserExist.asp?username=wang"), "info:");

    // The new account logs in with the password it was given.
    Client other(m_server.Port());
    EXPECT_EQ(other.Ask("LoginCheck.asp?username=wang`password=秘密 1`ver=1.5"), "success|0");

    std::string depts = Ask("GetUserDepts.asp?username=wang");
    EXPECT_EQ(depts, "销售部,研发部");
    EXPECT_EQ(Ask("UserAdd.asp?op=update`username=wang`deptname=\\研发部|`newdeptname=" + depts +
                  "`name=王五`gender=男`pwd=`roles=User;"),
              "info:修改用户信息成功");
    EXPECT_EQ(Ask("GetUserDepts.asp?username=wang"), "研发部");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部"), " ");
    EXPECT_TRUE(Ask("GetUserBInfo.asp?username=wang").starts_with("name:王五|gender:男|"));

    EXPECT_EQ(Ask("UserDelete.asp?username=wang"), "info:删除用户成功");
    EXPECT_EQ(Ask("UserDelete.asp?username=wang"), "info:用户删除成功");
    EXPECT_EQ(Ask("CheckUserExist.asp?username=wang"), "error:wang不存在,管理员须为VEX用户");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\研发部"), " ");
}

// 16 consoles add and delete users in the same two departments at once; every
// confirmed change shows in the directory and nothing else does.
TEST_F(DirectoryRequestsE2eTest, ConcurrentConsolesLeaveAConsistentDirectory) {
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=销售部`parentdept="), "info:添加部门成功");
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=研发部`parentdept="), "info:添加部门成功");
    std::vector<std::vector<std::string>> kept(16);
    std::vector<std::thread> consoles;
    for (int c = 0; c < 16; ++c) {
        consoles.emplace_back([&, c] {
            Client client(m_server.Port());
            if (!client.LoginAsAdmin()) return;
            for (int i = 0; i < 12; ++i) {
                const std::string user = "c" + std::to_string(c) + "u" + std::to_string(i);
                auto added = client.Ask("UserAdd.asp?username=" + user +
                                        "`deptname=\\销售部|\\研发部|`name=用户 " + user);
                if (added != "info:添加用户成功") continue;
                if (i % 3 == 0) {
                    client.Ask("UserDelete.asp?username=" + user);
                } else {
                    kept[c].push_back(user);
                }
            }
        });
    }
    for (auto& t : consoles) t.join();
    std::vector<std::string> expected;
    for (auto& list : kept) expected.insert(expected.end(), list.begin(), list.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected.size(), 16u * 8u);
    for (const char* dept : {"\\销售部", "\\研发部"}) {
        auto listed = SplitList(Ask(std::string("GetDeptUsers.asp?deptId=") + dept), ",");
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, expected) << dept;
    }
}

TEST_F(DirectoryRequestsE2eTest, FailedAddLeavesNoHalfMadeAccount) {
    ASSERT_EQ(Ask("DeptAdd.asp?deptid=销售部`parentdept="), "info:添加部门成功");
    // A role another administrator has just deleted: the roles step fails.
    EXPECT_EQ(Ask("UserAdd.asp?username=zhao`deptname=\\销售部|`name=赵六`roles=已删除的角色;"),
              "error:添加用户失败");
    EXPECT_EQ(Ask("CheckUserExist.asp?username=zhao"), "error:zhao不存在,管理员须为VEX用户");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部"), " ");

    // Nothing was left behind, so the same account can be added right away.
    EXPECT_EQ(Ask("UserAdd.asp?username=zhao`deptname=\\销售部|`name=赵六`roles="),
              "info:添加用户成功");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部"), "zhao");
}

TEST_F(DirectoryRequestsE2eTest, RolesAndRightsRoundTrip) {
    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=客服 组`desc=说 \"你好\" & <再见>"
                  "`rightInfo=RIGHT_INNER_REMOTE_LOGON|0|1^RIGHT_INNER_SEND_SMS|1|0"),
              "info:添加角色成功");
    EXPECT_NE(Ask("GetAllRoles.asp").find("=客服 组"), std::string::npos);
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=客服 组"), "说 \"你好\" & <再见>");

    auto rights = SplitList(Ask("GetRightsOfRole.asp?rolename=客服 组"), "^");
    ASSERT_EQ(rights.size(), 2u);
    std::sort(rights.begin(), rights.end());
    EXPECT_TRUE(rights[0].starts_with("RIGHT_INNER_REMOTE_LOGON|0|1|")) << rights[0];
    EXPECT_TRUE(rights[1].starts_with("RIGHT_INNER_SEND_SMS|1|0|")) << rights[1];
    EXPECT_EQ(SplitList(rights[0], "|").size(), 4u) << "identity, two flags and a name";

    EXPECT_EQ(Ask("UpdateRoleRight.asp?name=客服 组`rightInfo=RIGHT_OUT_SEND_FILE_LIMIT|0|1"),
              "true");
    EXPECT_EQ(SplitList(Ask("GetRightsOfRole.asp?rolename=客服 组"), "^").size(), 3u);

    auto all = SplitList(Ask("GetAllRights.asp"), "^");
    ASSERT_EQ(all.size(), 10u);
    EXPECT_TRUE(all[0].starts_with("RIGHT_INNER_SEND_SMS|"));
    EXPECT_TRUE(all[9].starts_with("RIGHT_OUT_SEND_FILE_NOLIMIT|"));

    EXPECT_EQ(Ask("RoleAdmin.asp?op=add`name=Sales`desc=旧`rightInfo="), "error:权限不能为空");
    EXPECT_EQ(Ask("RoleAdmin.asp?op=update`name=Sales`newname=SALES`desc=新"), "info:修改角色成功");
    std::string roles = Ask("GetAllRoles.asp");
    EXPECT_NE(roles.find("=Sales"), std::string::npos) << roles;
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=Sales"), "新");

    EXPECT_FALSE(m_client->Ask("roleadmin.asp?op=del`name=Sales", 300ms));
    EXPECT_EQ(Ask("RoleAdmin.asp?op=del`name=Sales"), "info:删除角色成功");
    EXPECT_EQ(Ask("GetAllRoles.asp").find("=Sales"), std::string::npos);
}

}  // namespace
}  // namespace warden::test

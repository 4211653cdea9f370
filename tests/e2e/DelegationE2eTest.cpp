// Delegation against the real server: what a second-level administrator or a
// plain directory account may not do is refused and changes nothing (read
// back as the super administrator after every attempt), scope changes reach
// live connections at once, and what a second-level administrator's console
// sends in its dialogs still works.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <set>

#include "protocol/Permissions.h"
#include "protocol/SplitList.h"
#include "protocol/UserSearch.h"
#include "tests/e2e/E2eDirectory.h"
#include "tests/support/ServerProcess.h"

namespace warden::test {
namespace {

constexpr const char kRefused[] = "error:没有权限执行此操作";
constexpr const char kLoginFirst[] = "error:请先登录";
constexpr const char kGeneralError[] = "error:处理请求失败,请检查数据后重新提交";
// Expected reply: whatever the super administrator gets for the same request.
constexpr const char kAsSuper[] = "<as super>";

// Every account the tests make, with its directory password "pw-" + name.
const std::vector<std::string> kAccounts = {"bob",   "carol", "dave",  "erin",
                                            "frank", "gina",  "admin", "ghost"};

// The organisation: bob manages \销售部\East and may grant 经理; carol (an
// administrator of \研发部) and the directory account "admin" live inside his
// departments; erin lives outside; frank has one department on each side;
// gina is a plain directory account; "ghost" has an administrator row but no
// directory account.
const std::vector<std::string> kSetup = {
    R"(DeptAdd.asp?deptid=销售部`parentdept=)",
    R"(DeptAdd.asp?deptid=East`parentdept=\销售部)",
    R"(DeptAdd.asp?deptid=上海`parentdept=\销售部\East)",
    R"(DeptAdd.asp?deptid=杭州`parentdept=\销售部\East)",
    R"(DeptAdd.asp?deptid=East2`parentdept=\销售部)",
    R"(DeptAdd.asp?deptid=华南区`parentdept=\销售部)",
    R"(DeptAdd.asp?deptid=研发部`parentdept=)",
    R"(RoleAdmin.asp?op=add`name=经理`desc=m`rightInfo=RIGHT_INNER_SEND_SMS|0|1)",
    R"(RoleAdmin.asp?op=add`name=总监`desc=d`rightInfo=RIGHT_INNER_SEND_SMS|0|1)",
    R"(RoleAdmin.asp?op=add`name=顾问`desc=c`rightInfo=RIGHT_INNER_SEND_SMS|0|1)",
    R"(UserAdd.asp?username=bob`deptname=\研发部\|`name=Bob`pwd=pw-bob`roles=`level=0)",
    R"(UserAdd.asp?username=carol`deptname=\销售部\East\上海\|`pwd=pw-carol`roles=)",
    R"(UserAdd.asp?username=dave`deptname=\销售部\East\上海\|`pwd=pw-dave`roles=总监;)",
    R"(UserAdd.asp?username=erin`deptname=\销售部\华南区\|`pwd=pw-erin`roles=)",
    R"(UserAdd.asp?username=frank`deptname=\销售部\East\杭州\|\研发部\|`pwd=pw-frank`roles=)",
    R"(UserAdd.asp?username=gina`deptname=\销售部\East\杭州\|`pwd=pw-gina`roles=)",
    R"(UserAdd.asp?username=admin`deptname=\销售部\East\杭州\|`pwd=pw-admin`roles=)",
    R"(SaveAdminDepts.asp?username=bob`pwd=`depts=\销售部\East;`adminroles=经理|)",
    R"(SaveAdminDepts.asp?username=carol`pwd=`depts=\研发部;`adminroles=)",
    R"(SaveAdminDepts.asp?username=ghost`pwd=`depts=\研发部;`adminroles=)",
};

class DelegationE2eTest : public ::testing::Test {
  protected:
    void SetUp() override { Start(m_server); }

    void Start(ServerProcess& server) {
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        m_super = std::make_unique<Client>(server.Port());
        ASSERT_TRUE(m_super->LoginAsAdmin());
        for (const std::string& request : kSetup) {
            ASSERT_EQ(Super(request).rfind("info:", 0), 0u) << request;
        }
    }

    std::string Super(const std::string& request) {
        return m_super->Ask(request).value_or("<no reply>");
    }

    // A connection logged in as `name` with his directory password.
    std::unique_ptr<Client> LogIn(const std::string& name, int port = 0) {
        auto client = std::make_unique<Client>(port ? port : m_server.Port());
        EXPECT_EQ(
            client->Ask("LoginCheck.asp?username=" + name + "`password=pw-" + name + "`ver=1.5"),
            "success|0");
        return client;
    }

    // Everything a console can read as the super administrator: the tree,
    // every user's record, roles and departments, the administrators with
    // their departments and roles, the roles with their rights.
    std::string Snapshot() {
        std::string out;
        auto ask = [&](const std::string& request) {
            std::string reply = Super(request);
            out += request + " => " + reply + "\n";
            return reply;
        };
        std::set<std::string> users(kAccounts.begin(), kAccounts.end());
        users.insert("newguy");
        std::function<void(const std::string&)> walk = [&](const std::string& path) {
            for (const std::string& child :
                 SplitList(Trim(ask("GetChildDepts.asp?deptId=" + path)), ",")) {
                walk(path + "\\" + child);
            }
            if (path.empty()) return;
            for (const std::string& user :
                 SplitList(Trim(ask("GetDeptUsers.asp?deptId=" + path)), ",")) {
                users.insert(user);
            }
        };
        walk("");
        for (const std::string& user : users) {
            ask("GetUserBInfo.asp?username=" + user);
            ask("GetUserRoles.asp?username=" + user);
            ask("GetUserDepts.asp?username=" + user);
        }
        for (const std::string& admin : SplitList(ask("GetAdminList.asp"), "|")) {
            ask("QueryUserAdminDepts.asp?username=" + admin);
            ask("Get2NdAdminRoles.asp?username=" + admin);
        }
        for (const std::string& role : SplitList(ask("GetAllRoles.asp"), "=")) {
            ask("GetRoleDescription.asp?rolename=" + role);
            ask("GetRightsOfRole.asp?rolename=" + role);
        }
        return out;
    }

    ServerProcess m_server{DirectoryConfig()};
    std::unique_ptr<Client> m_super;
};

enum class Who { kBob, kGina, kNobody };

struct Attempt {
    Who who;
    std::string request;
    std::string expected = kRefused;
};

// Every request a second-level administrator (bob) or a plain directory
// account (gina) might try beyond what he may, and what he must get.
const std::vector<Attempt>& Escalations() {
    using enum Who;
    static const std::vector<Attempt> attempts = {
        // Reads outside his departments, in every spelling of a path.
        {kBob, R"(GetChildDepts.asp?deptId=)"},
        {kBob, R"(GetChildDepts.asp?deptId=\销售部)"},
        {kBob, R"(GetChildDepts.asp?deptId=\销售部\East2)"},
        {kBob, R"(GetChildDepts.asp?deptId=\\销售部\\east2\\)"},
        {kBob, R"(GetChildDepts.asp?deptId=销售部\华南区)"},
        {kBob, R"(GetDeptUsers.asp?deptId=\销售部\华南区\)"},
        {kBob, R"(GetSameLevelDepts.asp?deptId=\)"},
        {kBob, R"(GetSameLevelDepts.asp?deptId=\销售部\)"},
        // The key the handler reads decides, in any order and repetition.
        {kBob, R"(GetChildDepts.asp?DeptId=\销售部\East)"},
        {kBob, R"(GetChildDepts.asp?deptId=\销售部\East`deptId=\销售部\华南区)"},
        {kBob, R"(GetChildDepts.asp?deptId=\销售部\华南区`deptId=\\销售部\\EAST\\)", kAsSuper},
        {kBob, R"(GetChildDepts.asp?deptId=\销售部\East`DEPTID=\销售部\华南区)", kAsSuper},
        {kBob, R"(GetUserBInfo.asp?username=erin)"},
        {kBob, R"(GetUserBInfo.asp?username=ERIN)"},
        {kBob, R"(GetUserBInfo.asp?username=dave`username=erin)"},
        {kBob, R"(GetUserBInfo.asp?username=erin`username=dave)", kAsSuper},
        {kBob, R"(GetUserBInfo.asp?username=nobody)", kGeneralError},
        {kBob, R"(GetUserRoles.asp?username=erin)"},
        {kBob, R"(GetUserDepts.asp?username=erin)"},
        {kBob, R"(GetUserDepts.asp?username=frank)", R"(销售部\East\杭州)"},
        {kBob, R"(QueryUserAdminDepts.asp?username=carol)"},
        {kBob, R"(QueryUserAdminDepts.asp?username=BOB)", R"(|\销售部\East;)"},
        {kBob, R"(Get2NdAdminRoles.asp?username=carol)"},
        // Requests only the super administrator's console sends.
        {kBob, R"(GetAllRoles.asp)"},
        {kBob, R"(GetAdminList.asp)"},
        {kBob, R"(GetRoleDescription.asp?rolename=经理)"},
        {kBob, R"(GetRightsOfRole.asp?rolename=经理)"},
        {kBob, R"(GetAllRights.asp)"},
        {kBob, R"(CheckUserExist.asp?username=erin)"},
        {kBob, R"(SaveAdminDepts.asp?username=bob`pwd=`depts=\销售部;`adminroles=经理|总监|)"},
        {kBob, R"(DeleteAdmin.asp?username=carol)"},
        {kBob, R"(RoleAdmin.asp?op=add`name=新角色`desc=x`rightInfo=RIGHT_INNER_SEND_SMS|0|1)"},
        {kBob, R"(RoleAdmin.asp?op=del`name=总监)"},
        {kBob, R"(RoleAdmin.asp?op=update`name=总监`newname=经理2`desc=x)"},
        {kBob, R"(UpdateRoleRight.asp?name=总监`rightInfo=RIGHT_INNER_SEND_SMS|1|0)"},
        {kBob, R"(ChangePwd.asp?username=admin`password=mine)"},
        {kBob, R"(ChangePwd.asp?username=bob`password=mine)"},
        // Departments: never at the top level, never his own, never outside.
        {kBob, R"(DeptAdd.asp?deptid=新部门`parentdept=)"},
        {kBob, R"(DeptAdd.asp?deptid=新部门`parentdept=\销售部)"},
        {kBob, R"(DeptAdd.asp?deptid=新部门`parentdept=\销售部\East2)"},
        {kBob, R"(DeptAdd.asp?deptid=新部门`parentdept=\销售部\East`parentdept=\研发部)"},
        {kBob, R"(DeptDelete.asp?deptid=\销售部\East)"},
        {kBob, R"(DeptDelete.asp?deptid=\\销售部\\east\\)"},
        {kBob, R"(DeptDelete.asp?deptid=\销售部\East2)"},
        {kBob, R"(DeptChange.asp?op=changedeptname`origdeptname=\销售部\EAST`newdeptname=E)"},
        {kBob, R"(DeptChange.asp?op=changedeptname`origdeptname=\销售部\华南区`newdeptname=E)"},
        {kBob, R"(DeptChange.asp?op=changedeptname`origdeptname=\销售部\East\上海`)"
               R"(origdeptname=\销售部\East2`newdeptname=E)"},
        {kBob, R"(DeptChange.asp?op=changeparent`origdeptname=\销售部\East\上海`)"
               R"(newparentdept=\销售部\华南区)"},
        {kBob, R"(DeptChange.asp?op=ChangeParent`origdeptname=\销售部\East\上海`)"
               R"(newparentdept=\研发部)"},
        {kBob, R"(DeptChange.asp?op=changeparent`origdeptname=\销售部\华南区`)"
               R"(newparentdept=\销售部\East)"},
        {kBob, R"(DeptChange.asp?op=changeparent`origdeptname=\销售部\East`)"
               R"(newparentdept=\销售部\East2)"},
        {kBob, R"(SetDeptOrder.asp?deptName=\销售部\East`nextDeptName=\销售部\East2`isLast=0)"},
        {kBob, R"(SetDeptOrder.asp?deptName=\销售部\East\上海`nextDeptName=\销售部\华南区)"
               R"(`isLast=0)"},
        {kBob, R"(SetDeptOrder.asp?deptName=\销售部\East2`nextDeptName=\销售部\East\上海)"
               R"(`isLast=1)"},
        // Users outside, protected accounts, roles he may not grant.
        {kBob, R"(UserAdd.asp?username=newguy`deptname=\销售部\华南区\|`pwd=x`roles=)"},
        {kBob, R"(UserAdd.asp?username=newguy`deptname=\销售部\East\上海\|\研发部\|`roles=)"},
        {kBob, R"(UserAdd.asp?username=newguy`deptname=\销售部\East\上海\|`roles=总监;)"},
        {kBob, R"(UserAdd.asp?username=ghost`deptname=\销售部\East\上海\|`pwd=x`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=erin`deptname=\销售部\华南区\|)"
               R"(`newdeptname=销售部\华南区`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=erin`deptname=\销售部\East\|`newdeptname=)"
               R"(`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=dave`username=erin`deptname=\销售部\East\|)"
               R"(`newdeptname=`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=other`username=erin`deptname=\销售部\East\|`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=carol`deptname=\销售部\East\上海\|)"
               R"(`newdeptname=销售部\East\上海`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=ADMIN`deptname=\销售部\East\杭州\|)"
               R"(`newdeptname=销售部\East\杭州`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=dave`deptname=\销售部\East\上海\|)"
               R"(`newdeptname=销售部\East\上海`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=dave`deptname=\销售部\East\上海\|)"
               R"(`newdeptname=销售部\East\上海`roles=总监;顾问;)"},
        {kBob, R"(UserAdd.asp?op=update`username=frank`deptname=\销售部\East\杭州\|)"
               R"(`newdeptname=销售部\East\杭州,研发部`roles=)"},
        // Frank is also in a department outside: no new password (bob could
        // log in as him) and no new name.
        {kBob, R"(UserAdd.asp?op=update`username=frank`deptname=\销售部\East\杭州\|)"
               R"(`newdeptname=销售部\East\杭州`pwd=hacked`roles=)"},
        {kBob, R"(UserAdd.asp?op=update`username=frank`deptname=\销售部\East\杭州\|)"
               R"(`newdeptname=销售部\East\杭州`name=Fake`roles=)"},
        {kBob, R"(UserDelete.asp?username=erin)"},
        {kBob, R"(UserDelete.asp?username=frank)"},
        {kBob, R"(UserDelete.asp?username=carol)"},
        {kBob, R"(UserDelete.asp?username=Admin)"},
        // A directory account without a row may only ask about himself.
        {kGina, R"(QueryUserAdminDepts.asp?username=gina)", "|"},
        {kGina, R"(QueryUserAdminDepts.asp?username=bob)"},
        {kGina, R"(Get2NdAdminRoles.asp?username=gina)"},
        {kGina, R"(GetChildDepts.asp?deptId=\销售部\East)"},
        {kGina, R"(GetUserBInfo.asp?username=gina)"},
        {kGina, R"(UserDelete.asp?username=erin)"},
        // And a connection that never logged in, nothing at all.
        {kNobody, R"(GetChildDepts.asp?deptId=)", kLoginFirst},
        {kNobody, R"(UserDelete.asp?username=erin)", kLoginFirst},
    };
    return attempts;
}

TEST_F(DelegationE2eTest, EveryEscalationIsRefusedAndChangesNothing) {
    const std::vector<Attempt>& attempts = Escalations();

    auto bob = LogIn("bob");
    auto gina = LogIn("gina");
    Client nobody(m_server.Port());
    const std::string before = Snapshot();
    for (const Attempt& attempt : attempts) {
        Client& client =
            attempt.who == Who::kBob ? *bob : attempt.who == Who::kGina ? *gina : nobody;
        const std::string expected =
            attempt.expected == kAsSuper ? Super(attempt.request) : attempt.expected;
        EXPECT_EQ(client.Ask(attempt.request).value_or("<no reply>"), expected) << attempt.request;
        ASSERT_EQ(Snapshot(), before) << "changed by " << attempt.request;
    }
    // No password changed either: every account still logs in with its own.
    for (const char* name : {"bob", "carol", "dave", "erin", "frank", "gina"}) {
        EXPECT_EQ(Client(m_server.Port())
                      .Ask("LoginCheck.asp?username=" + std::string(name) + "`password=pw-" + name +
                           "`ver=1.5"),
                  "success|0")
            << name;
    }
    EXPECT_TRUE(Client(m_server.Port()).LoginAsAdmin());
}

TEST_F(DelegationE2eTest, ChangesReachLiveConnectionsAtTheirNextRequest) {
    auto bob = LogIn("bob");
    auto bobAgain = LogIn("bob");
    const std::string east = R"(GetChildDepts.asp?deptId=\销售部\East)";
    const std::string rd = R"(GetChildDepts.asp?deptId=\研发部)";
    const std::string giveFrank = R"(UserAdd.asp?op=update`username=frank`deptname=\研发部\|)"
                                  R"(`newdeptname=研发部`roles=经理;)";
    EXPECT_EQ(bob->Ask(east), "上海,杭州");

    // The super administrator moves him to \研发部 without roles.
    ASSERT_EQ(Super(R"(SaveAdminDepts.asp?username=bob`depts=\研发部;`adminroles=)"),
              "info:管理员设置成功");
    for (Client* client : {bob.get(), bobAgain.get()}) {
        EXPECT_EQ(client->Ask(east), kRefused);
        EXPECT_EQ(client->Ask(rd), " ");
        EXPECT_EQ(client->Ask(giveFrank), kRefused);
    }

    // The roles file edited by hand counts at once as well.
    {
        std::ofstream roles(m_server.BaseDir() / "RolesAdmin.ini", std::ios::trunc);
        roles << "[BOB]\nROLES=经理|\n[carol]\nROLES=\n[ghost]\nROLES=\n";
    }
    EXPECT_EQ(bob->Ask(giveFrank), "info:修改用户信息成功");
    EXPECT_NE(Super("GetUserRoles.asp?username=frank").find("经理"), std::string::npos);

    // Without his row he is a plain directory account; with it back, an
    // administrator again.
    ASSERT_EQ(Super("DeleteAdmin.asp?username=bob"), "info:删除成功");
    EXPECT_EQ(bob->Ask(rd), kRefused);
    EXPECT_EQ(bob->Ask("QueryUserAdminDepts.asp?username=bob"), "|");
    ASSERT_EQ(Super(R"(SaveAdminDepts.asp?username=bob`depts=\研发部;`adminroles=)"),
              "info:管理员设置成功");
    EXPECT_EQ(bob->Ask(rd), " ");

    // A failed login keeps the session; a deleted account ends it.
    EXPECT_EQ(bob->Ask("LoginCheck.asp?username=bob`password=wrong`ver=1.5"),
              "error:用户或密码错误");
    EXPECT_EQ(bob->Ask(rd), " ");
    ASSERT_EQ(Super("UserDelete.asp?username=bob"), "info:删除用户成功");
    EXPECT_EQ(bob->Ask(rd), kRefused);
    EXPECT_EQ(bob->Ask(rd), kLoginFirst);
    EXPECT_EQ(bobAgain->Ask("QueryUserAdminDepts.asp?username=bob"), kRefused);
}

// The requests of a second-level administrator's console, dialog by dialog,
// in the order it sends them, with what it must get.
TEST_F(DelegationE2eTest, WhatTheConsoleSendsForASecondLevelAdministratorWorks) {
    const std::vector<std::pair<std::string, std::string>> flow = {
        // Login and the main window's tree, list and panel.
        {"LoginCheck.asp?username=bob`password=pw-bob`ver=1.5", "success|0"},
        {"QueryUserAdminDepts.asp?username=bob", R"(|\销售部\East;)"},
        {R"(GetChildDepts.asp?deptId=\销售部\East)", "上海,杭州"},
        {R"(GetDeptUsers.asp?deptId=\销售部\East\上海)", "carol,dave"},
        {"GetUserRoles.asp?username=dave", "User=总监"},
        // Department dialogs: add, rename, move, order, delete.
        {R"(DeptAdd.asp?deptid=苏州`parentdept=\销售部\East)", "info:添加部门成功"},
        {R"(DeptChange.asp?op=changedeptname`origdeptname=\销售部\East\苏州`newdeptname=南京)",
         "info:修改部门成功"},
        {R"(DeptChange.asp?op=changeparent`origdeptname=\销售部\East\南京)"
         R"(`newparentdept=\销售部\East\上海)",
         "info:修改部门成功"},
        {R"(GetSameLevelDepts.asp?deptId=\销售部\East\)", "上海,杭州"},
        {R"(SetDeptOrder.asp?deptName=\销售部\East\杭州`nextDeptName=\销售部\East\上海`isLast=0)",
         "info:修改部门顺序成功"},
        {R"(GetChildDepts.asp?deptId=\销售部\East)", "杭州,上海"},
        {R"(DeptDelete.asp?deptid=\销售部\East\上海\南京)", "info:删除部门成功"},
        // The user editor: add with a role he may grant, update keeping a
        // role he may not, and a user with a department he cannot see.
        {"Get2NdAdminRoles.asp?username=bob", "经理|"},
        {R"(UserAdd.asp?username=lily`deptname=\销售部\East\上海\|`name=Lily`position=`gender=女)"
         R"(`mobile=`phone=`email=`pwd=pw-lily`roles=经理;`level=0)",
         "info:添加用户成功"},
        {"GetUserDepts.asp?username=dave", R"(销售部\East\上海)"},
        {R"(UserAdd.asp?op=update`username=dave`deptname=\销售部\East\杭州\|)"
         R"(`newdeptname=销售部\East\上海`name=Dave`position=`gender=男`mobile=`phone=`email=)"
         R"(`pwd=`roles=总监;经理;`level=1)",
         "info:修改用户信息成功"},
        {"GetUserDepts.asp?username=frank", R"(销售部\East\杭州)"},
        {R"(UserAdd.asp?op=update`username=frank`deptname=\销售部\East\上海\|)"
         R"(`newdeptname=销售部\East\杭州`name=`position=`gender=`mobile=`phone=`email=)"
         R"(`pwd=`roles=`level=)",
         "info:修改用户信息成功"},
        {"UserDelete.asp?username=lily", "info:删除用户成功"},
    };
    Client bob(m_server.Port());
    for (const auto& [request, expected] : flow) {
        EXPECT_EQ(bob.Ask(request).value_or("<no reply>"), expected) << request;
    }
    // The mark his console asks for, so that it offers nothing the server
    // would refuse: another administrator and the super administrator's name
    // are protected from him, a plain user is not, and from
    // the super administrator nobody is. Without the key: the record alone.
    for (const auto& [user, mark] : std::vector<std::pair<std::string, std::string>>{
             {"carol", "1"}, {"ADMIN", "1"}, {"dave", "0"}, {"gina", "0"}}) {
        const std::string request = "GetUserBInfo.asp?username=" + user + "`protected=1";
        const std::string record = Super("GetUserBInfo.asp?username=" + user);
        EXPECT_EQ(bob.Ask(request).value_or(""), record + "|protected:" + mark) << user;
        EXPECT_EQ(Super(request), record + "|protected:0") << user;
    }
    // Whether a user has departments he cannot see, which his console asks
    // for so that it offers no password or name change the server refuses.
    EXPECT_EQ(bob.Ask("GetUserDepts.asp?username=frank`outside=1").value_or(""),
              R"(销售部\East\上海|outside:1)");
    EXPECT_EQ(bob.Ask("GetUserDepts.asp?username=dave`outside=1").value_or(""),
              R"(销售部\East\杭州|outside:0)");
    EXPECT_EQ(Super("GetUserDepts.asp?username=frank`outside=1"),
              R"(研发部,销售部\East\上海|outside:0)");
    // Read back as the super administrator.
    EXPECT_EQ(Super("GetUserDepts.asp?username=dave"), R"(销售部\East\杭州)");
    EXPECT_EQ(Super("GetUserRoles.asp?username=dave"), "User=经理=总监");
    EXPECT_EQ(Super("GetUserDepts.asp?username=frank"), R"(研发部,销售部\East\上海)");
    EXPECT_EQ(Super("GetUserBInfo.asp?username=lily"), kGeneralError);
}

// What the super administrator learns from "CheckPermission.asp" about a
// request `who` would send.
std::string CheckReply(Client& super, const std::string& who, const std::string& request) {
    const size_t mark = request.find('?');
    std::string check = "CheckPermission.asp?checkfor=" + who + "`checkrequest=" +
                        request.substr(0, mark);
    if (mark != std::string::npos) check += "`" + request.substr(mark + 1);
    return super.Ask(check).value_or("<no reply>");
}
PermissionVerdict CheckFor(Client& super, const std::string& who, const std::string& request) {
    return ParsePermissionVerdict(CheckReply(super, who, request));
}

// The check runs the rules that decide the request, so it agrees with the
// server on every escalation and on every step of a working console; it
// carries nothing out.
TEST_F(DelegationE2eTest, CheckPermissionAgreesWithWhatTheServerDoes) {
    struct Check {
        const Attempt* attempt;
        std::string reply;  // the check's own reply
    };
    std::vector<Check> checks;
    const std::string before = Snapshot();
    for (const Attempt& attempt : Escalations()) {
        if (attempt.who == Who::kNobody) continue;
        const char* who = attempt.who == Who::kBob ? "bob" : "gina";
        checks.push_back({&attempt, CheckReply(*m_super, who, attempt.request)});
    }
    ASSERT_EQ(Snapshot(), before) << "a check changed something";

    auto bob = LogIn("bob");
    auto gina = LogIn("gina");
    for (const auto& [attempt, check] : checks) {
        Client& client = attempt->who == Who::kBob ? *bob : *gina;
        const std::string reply = client.Ask(attempt->request).value_or("<no reply>");
        if (check.rfind("error:", 0) == 0) {
            // The rules could not be run (a user the directory does not
            // have): the request fails the same way.
            EXPECT_EQ(reply, check) << attempt->request;
        } else {
            EXPECT_EQ(ParsePermissionVerdict(check).allowed, reply != kRefused)
                << attempt->request << " => " << reply;
        }
    }

    // Allowed steps too, each checked just before it runs.
    Client console(m_server.Port());
    ASSERT_EQ(console.Ask("LoginCheck.asp?username=bob`password=pw-bob`ver=1.5"), "success|0");
    for (const std::string& request : {
             std::string(R"(DeptAdd.asp?deptid=苏州`parentdept=\销售部\East)"),
             std::string(R"(DeptChange.asp?op=changeparent`origdeptname=\销售部\East\苏州)"
                         R"(`newparentdept=\销售部\East\上海)"),
             std::string(R"(UserAdd.asp?username=lily`deptname=\销售部\East\上海\|`pwd=x)"
                         R"(`roles=经理;)"),
             std::string("SearchUsers.asp?text=lily"),
             std::string("UserDelete.asp?username=lily"),
             std::string(R"(DeptDelete.asp?deptid=\销售部\East\上海\苏州)"),
         }) {
        const PermissionVerdict verdict = CheckFor(*m_super, "bob", request);
        EXPECT_TRUE(verdict.allowed) << request;
        EXPECT_EQ(verdict.rule, "none");
        EXPECT_NE(console.Ask(request), kRefused) << request;
    }

    // The refusing rule and what it refused, by name.
    struct Why {
        std::string who, request, rule, subject;
    };
    for (const Why& w : std::initializer_list<Why>{
             {"bob", R"(DeptDelete.asp?deptid=\销售部\East)", "dept-inside", R"(\销售部\East)"},
             {"bob", R"(GetChildDepts.asp?deptId=\研发部)", "dept-in-scope", R"(\研发部)"},
             {"bob", R"(UserAdd.asp?username=newguy`deptname=\销售部\East\上海\|`roles=总监;)",
              "grantable-role", "总监"},
             {"bob", "UserDelete.asp?username=frank", "user-wholly-in-scope", "frank"},
             {"bob", "UserDelete.asp?username=carol", "protected-account", "carol"},
             {"bob", "GetUserBInfo.asp?username=erin", "user-in-scope", "erin"},
             {"bob", "GetAdminList.asp", "super-only", ""},
             {"gina", "GetUserBInfo.asp?username=gina", "not-administrator", "gina"},
             {"nobody", "GetAdminList.asp", "account-gone", "nobody"},
         }) {
        const PermissionVerdict verdict = CheckFor(*m_super, w.who, w.request);
        EXPECT_FALSE(verdict.allowed) << w.request;
        EXPECT_EQ(verdict.rule, w.rule) << w.request;
        EXPECT_EQ(verdict.subject, w.subject) << w.request;
        EXPECT_FALSE(verdict.text.empty());
    }
    EXPECT_TRUE(CheckFor(*m_super, "admin", "GetAdminList.asp").allowed);
    EXPECT_EQ(Super("CheckPermission.asp?checkfor=bob`checkrequest=Nothing.asp"),
              "error:没有这个请求: Nothing.asp");
    EXPECT_EQ(bob->Ask("CheckPermission.asp?checkfor=bob`checkrequest=GetAdminList.asp"), kRefused);
}

TEST_F(DelegationE2eTest, GetAdminEffectiveResolvesHisRowAndMarksWhatIsGone) {
    ASSERT_EQ(Super(R"(RoleAdmin.asp?op=add`name=旧角色`desc=x`rightInfo=RIGHT_INNER_SEND_SMS|0|1)"),
              "info:添加角色成功");
    ASSERT_EQ(Super(R"(SaveAdminDepts.asp?username=bob`depts=\销售部\East;\旧部门;\;)"
                    R"(\销售部\east\上海;`adminroles=经理|旧角色|)"),
              "info:管理员设置成功");
    ASSERT_EQ(Super("RoleAdmin.asp?op=del`name=旧角色"), "info:删除角色成功");

    const AdminEffective e = ParseAdminEffective(Super("GetAdminEffective.asp?username=BOB"));
    EXPECT_EQ(e.level, "second");
    EXPECT_TRUE(e.exists);
    using Entry = AdminEffective::Entry;
    EXPECT_EQ(e.depts, (std::vector<Entry>{{R"(\销售部\East)", "ok"},
                                           {R"(\旧部门)", "missing"},
                                           {R"(\)", "top"},
                                           {R"(\销售部\east\上海)", "covered"}}));
    EXPECT_EQ(e.roles, (std::vector<Entry>{{"经理", "ok"}, {"旧角色", "missing"}}));
    // Every request of the table under exactly one need.
    size_t requests = 0;
    for (const auto& need : e.needs) {
        requests += need.requests.size();
        if (need.need == "dept-in-scope") {
            EXPECT_NE(std::find(need.requests.begin(), need.requests.end(), "DeptAdd.asp"),
                      need.requests.end());
            EXPECT_NE(need.covers.find(R"(\销售部\East 及其下属部门)"), std::string::npos)
                << need.covers;
        }
        if (need.need == "user-write") {
            EXPECT_NE(need.covers.find("经理"), std::string::npos);
        }
    }
    EXPECT_EQ(requests, 30u);

    EXPECT_EQ(ParseAdminEffective(Super("GetAdminEffective.asp?username=gina")).level, "user");
    EXPECT_EQ(ParseAdminEffective(Super("GetAdminEffective.asp?username=ghost")).level, "none");
    EXPECT_EQ(ParseAdminEffective(Super("GetAdminEffective.asp?username=admin")).level, "super");
    EXPECT_EQ(LogIn("bob")->Ask("GetAdminEffective.asp?username=bob"), kRefused);
}

// A search finds what the sender may see: everything for the super
// administrator, users with a department in his scope (and only those
// departments) for a second-level administrator, nothing for anyone else.
TEST_F(DelegationE2eTest, SearchFindsOnlyWhatTheSenderMaySee) {
    auto bob = LogIn("bob");
    auto gina = LogIn("gina");
    using Hits = std::vector<UserHit>;
    EXPECT_EQ(ParseUserSearch(Super("SearchUsers.asp?text=RO")),
              (Hits{{"carol", "", {R"(\销售部\East\上海)"}}}));
    EXPECT_EQ(ParseUserSearch(Super("SearchUsers.asp?text=AN")),
              (Hits{{"frank", "", {R"(\销售部\East\杭州)", R"(\研发部)"}}}));
    EXPECT_EQ(ParseUserSearch(bob->Ask("SearchUsers.asp?text=an").value_or("")),
              (Hits{{"frank", "", {R"(\销售部\East\杭州)"}}}));
    EXPECT_EQ(bob->Ask("SearchUsers.asp?text=Bo"), " ") << "not even himself, outside his scope";
    EXPECT_EQ(bob->Ask("SearchUsers.asp?text=erin"), " ");
    EXPECT_EQ(ParseUserSearch(Super("SearchUsers.asp?text=erin")).size(), 1u);
    EXPECT_EQ(ParseUserSearch(Super("SearchUsers.asp?text=in")).size(), 3u);  // erin, gina, admin
    EXPECT_EQ(ParseUserSearch(Super("SearchUsers.asp?text=in`count=1")).size(), 1u);
    EXPECT_EQ(gina->Ask("SearchUsers.asp?text=ra"), kRefused);
    EXPECT_EQ(Client(m_server.Port()).Ask("SearchUsers.asp?text=ra"), kLoginFirst);
    for (const char* bad : {"SearchUsers.asp?text=", "SearchUsers.asp?text=a",
                            "SearchUsers.asp?text= r ", "SearchUsers.asp?text=ra`count=0",
                            "SearchUsers.asp?text=ra`count=501", "SearchUsers.asp?text=ra`count=x"}) {
        EXPECT_EQ(Super(bad).rfind("error:", 0), 0u) << bad;
    }
}

TEST(DelegationOffE2eTest, WithoutLoginsNothingIsCheckedAndTheServerSaysSo) {
    ServerProcess server("[SECURITY]\nREQUIRE_LOGIN=0\n" + DirectoryConfig());
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    EXPECT_NE(server.ErrorOutput().find("delegation is not enforced"), std::string::npos);
    Client open(server.Port());
    EXPECT_EQ(open.Ask("DeptAdd.asp?deptid=A`parentdept="), "info:添加部门成功");
    EXPECT_EQ(open.Ask(R"(UserAdd.asp?username=bob`deptname=\A\|`pwd=pw-bob`roles=)"),
              "info:添加用户成功");
    // A directory login changes nothing: the connection may still do anything.
    EXPECT_EQ(open.Ask("LoginCheck.asp?username=bob`password=pw-bob`ver=1.5"), "success|0");
    EXPECT_EQ(open.Ask("ChangePwd.asp?username=admin`oldpassword=admin`password=n3w"), "success");
    EXPECT_EQ(open.Ask("GetChildDepts.asp?deptId="), "A");
}

}  // namespace
}  // namespace warden::test

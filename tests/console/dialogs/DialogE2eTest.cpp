// The dialogs' logic against the real warden-server and its embedded
// directory, over TCP in GBK: each test runs one dialog flow as an
// administrator would and reads the result back from the server.
#include <gtest/gtest.h>

#include <memory>

#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/core/MainWindowLogic.h"
#include "console/dialogs/AddDeptLogic.h"
#include "console/dialogs/AdminDetailLogic.h"
#include "console/dialogs/AdminLogic.h"
#include "console/dialogs/ChangeDeptLogic.h"
#include "console/dialogs/ChangePasswordLogic.h"
#include "console/dialogs/OrderDeptLogic.h"
#include "console/dialogs/RoleManagerLogic.h"
#include "console/dialogs/UserEditorLogic.h"
#include "console/dialogs/UserRolesLogic.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/ServerProcess.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

class DialogE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started()) << m_server.ErrorOutput();
        m_setup = std::make_unique<warden::test::Client>(m_server.Port());
        ASSERT_TRUE(m_setup->LoginAsAdmin());
        for (const char* request : {
                 "DeptAdd.asp?deptid=销售部`parentdept=",
                 "DeptAdd.asp?deptid=华东区`parentdept=\\销售部",
                 "DeptAdd.asp?deptid=华南区`parentdept=\\销售部",
                 "DeptAdd.asp?deptid=研发部`parentdept=",
                 "UserAdd.asp?username=zhaolei`deptname=\\销售部\\华东区|`name=赵磊`position=经理"
                 "`gender=男`mobile=139`phone=021-1`email=z@x.cn`pwd=secret`roles=`level=3",
             }) {
            ASSERT_EQ(Ask(request).rfind("info:", 0), 0u) << request;
        }
    }

    std::string Ask(const std::string& request) {
        return m_setup->Ask(request).value_or("<no reply>");
    }

    bool LogIn(const std::string& name, const std::string& password) {
        LoginLogic login(m_transport, m_sink, m_state, m_server.BaseDir());
        return login
            .Press({"127.0.0.1", std::to_string(m_server.Port()), name, password,
                    WireSecurity::kPlain})
            .success;
    }

    // Points the main window at `path` as a right click would.
    void PointAt(const std::string& path) {
        m_window.ReloadDeptTree();
        const DeptNode* node = &m_window.TreeRoot();
        while (node != nullptr && node->path != path) {
            const DeptNode* next = nullptr;
            for (const auto& child : node->children) {
                if (child->path == path || path.rfind(child->path + "\\", 0) == 0) {
                    next = child.get();
                }
            }
            node = next;
            if (node != nullptr && node->path != path) m_window.ClickDept(node);
        }
        ASSERT_NE(node, nullptr) << path;
        m_window.SelectDeptForMenu(node);
    }

    static const DeptNode* ChildAt(const DeptNode& node, const std::string& path) {
        for (const auto& child : node.children) {
            if (child->path == path) return child.get();
        }
        return nullptr;
    }

    warden::test::ServerProcess m_server;
    std::unique_ptr<warden::test::Client> m_setup;
    FakeSink m_sink;
    ConsoleTransport m_transport{m_sink};
    LoginState m_state;
    MainWindowLogic m_window{m_transport, m_sink, m_state};
};

TEST_F(DialogE2eTest, ChangedPasswordIsTheOneTheNextLoginNeeds) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    ChangePasswordLogic dialog(m_transport, m_sink, m_state);
    EXPECT_EQ(dialog.Submit({"wrong", "n3w", "n3w"}), PasswordOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts(), Strings{"原密码输入错误"});
    EXPECT_EQ(dialog.Submit({"admin", " n3w ", "n3w"}), PasswordOutcome::kClose);
    EXPECT_EQ(m_sink.Texts().back(), "修改密码成功");

    EXPECT_FALSE(LogIn("admin", "admin"));
    EXPECT_TRUE(LogIn("admin", "n3w"));
}

TEST_F(DialogE2eTest, DepartmentIsAddedRenamedMovedAndOrdered) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    PointAt("\\销售部");
    AddDeptLogic add(m_transport, m_sink, m_window);
    EXPECT_TRUE(add.Add("华北区"));
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\销售部"), "华东区,华南区,华北区");

    // Placed before 华东区, then back to the end.
    PointAt("\\销售部\\华北区");
    OrderDeptLogic order(m_transport, m_sink, m_window, m_window.CurrentDeptPath());
    order.Open();
    ASSERT_TRUE(order.CanSubmit()) << testing::PrintToString(m_sink.Texts());
    EXPECT_EQ(order.Siblings(), (Strings{"华东区", "华南区"}));
    EXPECT_TRUE(order.Submit(false, "华东区"));
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\销售部"), "华北区,华东区,华南区");

    // Renamed and moved under 研发部 in one press.
    PointAt("\\销售部\\华北区");
    ChangeDeptLogic change(m_transport, m_sink, m_window);
    change.Open();
    const DeptNode* rd = ChildAt(change.Tree().Root(), "\\研发部");
    ASSERT_NE(rd, nullptr);
    EXPECT_EQ(change.Submit("华中区", rd), ChangeDeptOutcome::kClose);
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\销售部"), "华东区,华南区");
    EXPECT_EQ(Ask("GetChildDepts.asp?deptId=\\研发部"), "华中区");
    EXPECT_EQ(m_sink.Texts().back(), "修改部门成功");
    EXPECT_EQ(m_window.CurrentDeptPath(), "\\研发部\\华中区");
}

TEST_F(DialogE2eTest, UserIsAddedWithRolesThenMovedToAnotherDepartment) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    ASSERT_EQ(Ask("RoleAdmin.asp?op=add`name=客服`desc=`rightInfo=RIGHT_INNER_SEND_SMS|0|1"),
              "info:添加角色成功");
    PointAt("\\研发部");
    UserEditorLogic add(m_transport, m_sink, m_window, UserEditorMode::kAdd,
                        m_window.CurrentDeptPath(), "");
    add.Open();
    UserRolesLogic roles(m_transport, m_sink, m_state, "");
    roles.Open();
    roles.SelectAvailable(roles.Available().FindExact("客服"));
    roles.GiveSelected();
    UserForm form;
    form.account = "wangwu";
    form.password = "pw";
    form.name = "王五";
    form.gender = "女";
    form.level = "7";
    form.roles = roles.RolesText();
    EXPECT_EQ(add.Submit(form), UserSubmitOutcome::kSubmitted)
        << testing::PrintToString(m_sink.Texts());
    EXPECT_EQ(Ask("GetUserDepts.asp?username=wangwu"), "研发部");
    EXPECT_EQ(Ask("GetUserRoles.asp?username=wangwu"), "User=客服");
    ASSERT_EQ(m_window.Users().Size(), 1);
    EXPECT_EQ(m_window.Users().At(0).cells[kColName], "王五");

    // The update takes him out of 研发部 and into 华南区.
    m_window.LoadDeptUsers("\\研发部");
    while (m_window.FillNextRecord()) {
    }
    ASSERT_TRUE(m_window.ClickUser(0));
    UserEditorLogic update(m_transport, m_sink, m_window, UserEditorMode::kUpdate,
                           m_window.CurrentDeptPath(), m_window.Panel().roles);
    update.Open();
    EXPECT_EQ(update.Form().account, "wangwu");
    EXPECT_EQ(update.Depts().Items(), Strings{"\\研发部"});
    update.SelectDept(0);
    update.RemoveSelectedDept();
    const DeptNode* sales = ChildAt(update.Tree().Root(), "\\销售部");
    ASSERT_NE(sales, nullptr);
    update.ClickTree(sales);
    update.ClickTree(ChildAt(*sales, "\\销售部\\华南区"));
    update.AddChosenDept();
    UserForm changed = update.Form();
    changed.position = "工程师";
    EXPECT_EQ(update.Submit(changed), UserSubmitOutcome::kClose)
        << testing::PrintToString(m_sink.Texts());
    EXPECT_EQ(Ask("GetUserDepts.asp?username=wangwu"), "销售部\\华南区");
    EXPECT_NE(Ask("GetUserBInfo.asp?username=wangwu").find("position:工程师|"), std::string::npos);
    EXPECT_EQ(m_window.Users().At(0).cells[kColPosition], "工程师");
    EXPECT_EQ(m_window.Panel().position, "工程师");  // the panel shows him as he is now
}

TEST_F(DialogE2eTest, RoleIsCreatedItsRightChangedThenRenamedAndDeleted) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    RoleManagerLogic manager(m_transport, m_sink);
    manager.Open();
    ASSERT_GE(manager.Roles().FindExact("User"), 0);

    AddRoleLogic add(m_transport, m_sink, manager);
    add.Open();
    ASSERT_EQ(add.Rights().Size(), 10);
    EXPECT_EQ(add.Submit("销售", "销售人员"), AddRoleOutcome::kAdded)
        << testing::PrintToString(m_sink.Texts());
    manager.ClickRole(manager.Roles().FindExact("销售"));
    EXPECT_EQ(manager.DescriptionField(), "销售人员");
    ASSERT_EQ(manager.Rights().Size(), 10);

    int sms = -1;
    for (int i = 0; i < manager.Rights().Size(); ++i) {
        if (manager.Rights().At(i).identity == "RIGHT_INNER_SEND_SMS") sms = i;
    }
    ASSERT_GE(sms, 0);
    manager.ClickRight(sms);
    RightSettingLogic setting(m_transport, m_sink, manager, *manager.RightToEdit());
    setting.Submit(RightChoice::kDeny);
    EXPECT_EQ(m_sink.Texts().back(), "权限修改成功!");
    EXPECT_EQ(manager.Rights().At(sms).deny, "+");
    EXPECT_NE(Ask("GetRightsOfRole.asp?rolename=销售").find("RIGHT_INNER_SEND_SMS|1|0|"),
              std::string::npos);

    manager.UpdateRole("销售组", "新说明");
    EXPECT_EQ(m_sink.Texts().back(), "修改角色成功");
    EXPECT_EQ(Ask("GetRoleDescription.asp?rolename=销售组"), "新说明");
    manager.DeleteRole();
    EXPECT_EQ(m_sink.Texts().back(), "删除角色成功");
    EXPECT_EQ(Ask("GetAllRoles.asp").find("销售"), std::string::npos);
}

TEST_F(DialogE2eTest, AdministratorIsSavedLogsInToHisDepartmentsAndIsDeleted) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    AdminListLogic list(m_transport, m_sink);
    list.Open();
    EXPECT_TRUE(list.Admins().Empty());

    AdminEditorLogic editor(m_transport, m_sink, m_state, "", false, &list, "");
    editor.Open();
    editor.ClickTree(ChildAt(editor.Tree().Root(), "\\研发部"));
    editor.AddChosenDept();
    EXPECT_EQ(editor.Save("nobody"), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts().back(), "nobody不存在,管理员须为VEX用户");
    EXPECT_EQ(editor.Save("zhaolei"), AdminSaveOutcome::kClose);
    EXPECT_EQ(m_sink.Texts().back(), "管理员设置成功");
    EXPECT_EQ(list.Admins().Items(), Strings{"zhaolei"});
    EXPECT_EQ(list.Depts().Items(), Strings{"\\研发部"});
    AdminListLogic reopened(m_transport, m_sink);
    reopened.Open();
    EXPECT_EQ(reopened.Overview("zhaolei"), list.Overview("zhaolei"));
    EXPECT_EQ(list.Overview("zhaolei").depts, "\\研发部");
    EXPECT_FALSE(list.Overview("zhaolei").name.empty());

    // He now logs in and sees only his department.
    FakeSink sink;
    ConsoleTransport transport(sink);
    LoginState state;
    LoginLogic login(transport, sink, state, m_server.BaseDir());
    ASSERT_TRUE(login
                    .Press({"127.0.0.1", std::to_string(m_server.Port()), "zhaolei", "secret",
                            WireSecurity::kPlain})
                    .success)
        << testing::PrintToString(sink.Texts());
    EXPECT_EQ(state.managedDepts, "\\研发部;");

    list.SelectAdmin(0);
    list.DeleteSelected();
    EXPECT_EQ(m_sink.Texts().back(), "删除成功");
    EXPECT_EQ(Ask("GetAdminList.asp"), " ");
}

// "权限详情" as the super administrator sees it: the problems of a row that
// names a department and a role that are gone, and "试一试" answered by the
// server's own rules.
TEST_F(DialogE2eTest, AdminDetailShowsProblemsAndTriesOperations) {
    ASSERT_EQ(Ask("SaveAdminDepts.asp?username=zhaolei`depts=\\销售部\\华东区;\\旧部门;"
                  "`adminroles=旧角色|"),
              "info:管理员设置成功");
    ASSERT_TRUE(LogIn("admin", "admin"));
    AdminDetailLogic detail(m_transport, m_sink, "zhaolei");
    ASSERT_TRUE(detail.Open());
    EXPECT_EQ(detail.Effective().level, "second");
    EXPECT_EQ(detail.Problems(),
              (Strings{"部门 \\旧部门: 已不存在", "角色 旧角色: 已不存在"}));
    auto op = [](const char* label) {
        for (size_t i = 0; i < kTrialOperations.size(); ++i) {
            if (std::string(kTrialOperations[i].label) == label) return i;
        }
        return kTrialOperations.size();
    };
    EXPECT_EQ(detail.Try(op("查看部门"), "\\销售部\\华东区"), "允许");
    EXPECT_EQ(detail.Try(op("删除部门"), "\\销售部\\华东区"),
              "拒绝: 只能更改其管理部门之下的部门,不能更改管理部门本身 (\\销售部\\华东区)");
    EXPECT_EQ(detail.Try(op("添加子部门"), "\\销售部\\华南区"),
              "拒绝: 部门不在其管理范围内 (\\销售部\\华南区)");
    EXPECT_EQ(detail.Try(op("查看用户"), "zhaolei"), "允许");
    EXPECT_EQ(detail.ChildDepts("\\销售部"), (Strings{"华东区", "华南区"}));

    AdminDetailLogic nobody(m_transport, m_sink, "");
    EXPECT_FALSE(nobody.Open());
    EXPECT_EQ(m_sink.Texts().back(), "请指定账户");
}

}  // namespace
}  // namespace warden::console::test

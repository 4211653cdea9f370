#include <gtest/gtest.h>

#include "console/dialogs/UserEditorLogic.h"
#include "console/dialogs/UserRolesLogic.h"
#include "tests/console/dialogs/DialogFixture.h"

namespace warden::console::test {
namespace {

class UserEditorLogicTest : public DialogFixture {
  protected:
    // The main window shows \销售部\华东区 with two users; `row` is clicked.
    void ShowUsersAndClick(int row) {
        PointAt("\\销售部\\华东区");
        m_transport.replies["GetDeptUsers.asp?deptId=\\销售部\\华东区"] = "zhaolei,chenjing";
        m_transport.replies["GetUserBInfo.asp?username=zhaolei"] =
            "name:赵磊|gender:男|mobile:139|email:z@x.cn|phone:021-1|auth:0|uin:10001|"
            "position:经理|level:3";
        m_transport.replies["GetUserBInfo.asp?username=chenjing"] =
            "name:陈静|gender:female|mobile:|email:|phone:|auth:0|uin:10002|position:|level:77";
        m_transport.replies["GetUserRoles.asp?username=zhaolei"] = "User=经理";
        m_window.LoadDeptUsers("\\销售部\\华东区");
        while (m_window.FillNextRecord()) {
        }
        ASSERT_TRUE(m_window.ClickUser(row));
        m_transport.requests.clear();
    }

    UserEditorLogic Editor(UserEditorMode mode, const std::string& roles = "") {
        return UserEditorLogic(m_transport, m_sink, m_window, mode, m_window.CurrentDeptPath(),
                               roles);
    }

    static UserForm Typed(const std::string& account) {
        UserForm form;
        form.account = account;
        form.password = " pw ";
        form.name = " 王五 ";
        form.level = "5";
        form.gender = "男";
        form.position = "主管";
        form.mobile = "138";
        form.phone = "010";
        form.email = "w@x.cn";
        form.roles = "经理;";
        return form;
    }
};

TEST_F(UserEditorLogicTest, AddModeStartsWithThePresetDepartmentAndLevelZero) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd, "ignored;");
    editor.Open();
    EXPECT_STREQ(editor.Title(), "添加用户");
    EXPECT_FALSE(editor.AccountReadOnly());
    EXPECT_FALSE(editor.ShowsPasswordNote(true));
    EXPECT_EQ(editor.Depts().Items(), Strings{"\\销售部"});
    EXPECT_EQ(editor.Form().level, "0");
    EXPECT_EQ(editor.Form().gender, "男");  // as the directory would store it; not blank
    EXPECT_EQ(editor.Form().roles, "");
    EXPECT_EQ(UserEditorLogic::Levels().size(), 50u);
    EXPECT_EQ(UserEditorLogic::Levels().back(), "49");
    EXPECT_EQ(m_transport.requests, Strings{"GetChildDepts.asp?deptId="});
}

TEST_F(UserEditorLogicTest, DepartmentCheckComesBeforeTheAccountCheck) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    editor.SelectDept(0);
    editor.RemoveSelectedDept();
    EXPECT_EQ(editor.Submit(Typed("")), UserSubmitOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts(), Strings{"部门不能为空"});

    editor.ClickTree(ChildAt(editor.Tree().Root(), "\\研发部"));
    editor.AddChosenDept();
    EXPECT_EQ(editor.Submit(Typed("  \t")), UserSubmitOutcome::kFocusAccount);
    EXPECT_EQ(m_sink.Texts().back(), "帐号不能为空");
    EXPECT_EQ(m_sink.shown.back().caption, "提示");
    EXPECT_EQ(m_transport.CountStartingWith("UserAdd.asp"), 0);
}

TEST_F(UserEditorLogicTest, AddSendsTheTrimmedAccountAndAppendsTheUserToTheList) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    const std::string request =
        "UserAdd.asp?username=wangwu`deptname=\\销售部|`name= 王五 `position=主管`gender=男"
        "`mobile=138`phone=010`email=w@x.cn`pwd= pw `roles=经理;`level=5";
    m_transport.replies[request] = "info:添加用户成功";
    m_transport.replies["GetUserBInfo.asp?username=wangwu"] = "name:王五|gender:男";
    m_transport.requests.clear();
    EXPECT_EQ(editor.Submit(Typed(" wangwu ")), UserSubmitOutcome::kSubmitted);
    EXPECT_EQ(m_transport.requests, (Strings{request, "GetUserBInfo.asp?username=wangwu"}));
    EXPECT_EQ(m_sink.Texts(), Strings{"添加用户成功"});
    ASSERT_EQ(m_window.Users().Size(), 1);
    EXPECT_EQ(m_window.Users().At(0).cells[kColName], "王五");

    // Ready for the next user: personal fields empty, the rest kept.
    const UserForm& form = editor.Form();
    EXPECT_EQ(form.account + form.password + form.name + form.position + form.mobile + form.phone +
                  form.email,
              "");
    EXPECT_EQ(form.gender, "男");
    EXPECT_EQ(form.roles, "经理;");
    EXPECT_EQ(form.level, "5");
    EXPECT_EQ(editor.Depts().Items(), Strings{"\\销售部"});
    EXPECT_EQ(editor.Submit(editor.Form()), UserSubmitOutcome::kFocusAccount);
}

TEST_F(UserEditorLogicTest, RefusedAdditionChangesNothing) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    m_transport.fallback = [](const std::string& request) -> std::string {
        return request.rfind("UserAdd.asp", 0) == 0 ? "error:用户已经存在" : " ";
    };
    EXPECT_EQ(editor.Submit(Typed("wangwu")), UserSubmitOutcome::kStayOpen);
    EXPECT_EQ(m_sink.shown.back().caption, "错误");
    EXPECT_EQ(m_sink.Texts().back(), "用户已经存在");
    EXPECT_EQ(m_window.Users().Size(), 0);
    EXPECT_EQ(editor.Form().account, "wangwu");
}

// "gender=" went out when the box was left blank; an edit whose reply never
// came (a dropped connection) was not said to be lost.
TEST_F(UserEditorLogicTest, BlankGenderIsRefusedAndNoReplyKeepsTheFormAndSaysSo) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    UserForm typed = Typed("wangwu");
    typed.gender.clear();
    m_transport.requests.clear();
    EXPECT_EQ(editor.Submit(typed), UserSubmitOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts(), Strings{"请选择性别"});
    EXPECT_TRUE(m_transport.requests.empty());

    EXPECT_EQ(editor.Submit(Typed("wangwu")), UserSubmitOutcome::kStayOpen);
    EXPECT_EQ(m_transport.CountStartingWith("UserAdd.asp"), 1);
    EXPECT_EQ(m_sink.Texts().back(), "没有收到服务器的回复, 所做的修改没有保存");
    EXPECT_EQ(editor.Form().account, "wangwu");
    EXPECT_EQ(m_window.Users().Size(), 0);
}

TEST_F(UserEditorLogicTest, TreeDepartmentsGetATrailingBackslashAndAreNotAddedTwice) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    editor.AddChosenDept();
    EXPECT_EQ(m_sink.Texts(), Strings{"请在部门列表中选择部门"});

    editor.ClickTree(ChildAt(editor.Tree().Root(), "\\销售部"));
    EXPECT_EQ(editor.ChosenDept(), "\\销售部");
    editor.AddChosenDept();
    // The preset has no trailing "\", so the same department from the tree
    // is a second entry.
    EXPECT_EQ(editor.Depts().Items(), (Strings{"\\销售部", "\\销售部\\"}));
    editor.AddChosenDept();
    EXPECT_EQ(m_sink.Texts().back(), "部门 [\\销售部\\] 已存,请重新选择");
    EXPECT_EQ(editor.Depts().Size(), 2);

    editor.ClickTree(nullptr);
    EXPECT_EQ(editor.ChosenDept(), "");
}

TEST_F(UserEditorLogicTest, UpdateTakesTheCurrentRowAndTheUsersDepartments) {
    ShowUsersAndClick(1);  // zhaolei, after chenjing
    m_transport.replies["GetUserDepts.asp?username=zhaolei"] = "销售部\\华东区,研发部";
    UserEditorLogic editor = Editor(UserEditorMode::kUpdate, "User;经理;");
    editor.Open();
    EXPECT_EQ(m_window.CurrentUserRow(), 0);
    EXPECT_STREQ(editor.Title(), "修改用户信息");
    EXPECT_TRUE(editor.AccountReadOnly());
    EXPECT_TRUE(editor.ShowsPasswordNote(true));
    EXPECT_FALSE(editor.ShowsPasswordNote(false));
    const UserForm& form = editor.Form();
    EXPECT_EQ(form.account, "zhaolei");
    EXPECT_EQ(form.name, "赵磊");
    EXPECT_EQ(form.gender, "男");
    EXPECT_EQ(form.level, "3");
    EXPECT_EQ(form.position, "经理");
    EXPECT_EQ(form.roles, "User;经理;");
    EXPECT_EQ(editor.Depts().Items(), (Strings{"\\销售部\\华东区", "\\研发部"}));  // pinyin
    EXPECT_EQ(editor.DeptsAtOpening(), "销售部\\华东区,研发部");

    UserForm typed = form;
    typed.password = "";
    typed.name = "赵磊磊";
    typed.gender = "女";
    typed.level = "4";
    editor.SelectDept(1);
    editor.RemoveSelectedDept();
    const std::string request =
        "UserAdd.asp?op=update`username=zhaolei`deptname=\\销售部\\华东区|`newdeptname=销售部"
        "\\华东区,研发部`name=赵磊磊`position=经理`gender=女`mobile=139`phone=021-1`email=z@x.cn"
        "`pwd=`roles=User;经理;`level=4";
    m_transport.replies[request] = "info:修改用户信息成功";
    // What the directory holds afterwards; the main window shows that.
    m_transport.replies["GetUserBInfo.asp?username=zhaolei"] =
        "name:赵磊磊|gender:女|mobile:139|email:z@x.cn|phone:021-1|auth:0|uin:10001|"
        "position:经理|level:4";
    m_transport.replies["GetUserRoles.asp?username=zhaolei"] = "User=经理=销售";
    m_transport.requests.clear();
    EXPECT_EQ(editor.Submit(typed), UserSubmitOutcome::kClose);
    EXPECT_EQ(m_transport.requests, (Strings{request, "GetUserBInfo.asp?username=zhaolei",
                                             "GetUserRoles.asp?username=zhaolei"}));
    const UserRow& row = m_window.Users().At(1);
    EXPECT_EQ(row.cells[kColAccount], "zhaolei");
    EXPECT_EQ(row.cells[kColUin], "10001");
    EXPECT_EQ(row.cells[kColName], "赵磊磊");
    EXPECT_EQ(row.cells[kColGender], "女");
    EXPECT_EQ(row.cells[kColLevel], "4");
    EXPECT_EQ(m_window.Panel().name, "赵磊磊");
    EXPECT_EQ(m_window.Panel().roles, "User;经理;销售");
}

TEST_F(UserEditorLogicTest, TextTheWireCannotCarryOrTooLongIsRefusedBeforeSending) {
    PointAt("\\销售部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    m_transport.requests.clear();
    const std::string names = "不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";
    const std::string values = "不能含有以下字符: ` ?";
    struct Case {
        std::string UserForm::*field;
        std::string value;
        std::string message;
    } cases[] = {
        {&UserForm::account, "wang,wu", "帐号" + names},
        {&UserForm::password, "ab`cd", "密码" + values},
        {&UserForm::name, "王?", "姓名" + values},
        {&UserForm::position, "a`b", "职务" + values},
        {&UserForm::mobile, std::string(33, '1'), "手机不能超过32个字符"},
        {&UserForm::email, std::string(255, 'e'), "Email不能超过254个字符"},
    };
    for (const Case& c : cases) {
        UserForm typed = Typed("wangwu");
        typed.*c.field = c.value;
        m_sink.shown.clear();
        EXPECT_EQ(editor.Submit(typed), UserSubmitOutcome::kStayOpen) << c.message;
        EXPECT_EQ(m_sink.Texts(), Strings{c.message});
        EXPECT_EQ(editor.Form().*c.field, c.value);  // what was typed stays for correction
    }
    EXPECT_TRUE(m_transport.requests.empty());
}

TEST_F(UserEditorLogicTest, UpdateMapsOddGenderAndLevelAndSurvivesAFailedDepartmentQuery) {
    ShowUsersAndClick(0);  // chenjing: gender "female", level 77
    m_transport.replies["GetUserDepts.asp?username=chenjing"] =
        "error:处理请求失败,请检查数据后重新提交";
    UserEditorLogic editor = Editor(UserEditorMode::kUpdate);
    editor.Open();
    EXPECT_EQ(editor.Form().gender, "女");
    EXPECT_EQ(editor.Form().level, "");
    EXPECT_EQ(m_sink.Texts(), Strings{"处理请求失败,请检查数据后重新提交"});
    EXPECT_TRUE(editor.Depts().Empty());
    EXPECT_EQ(editor.DeptsAtOpening(), "");

    // A user in no department: the server's " " is no entry.
    ShowUsersAndClick(0);
    m_transport.replies["GetUserDepts.asp?username=chenjing"] = " ";
    UserEditorLogic again = Editor(UserEditorMode::kUpdate);
    again.Open();
    EXPECT_TRUE(again.Depts().Empty());
    EXPECT_EQ(again.DeptsAtOpening(), "");
}

// A user who is also in departments the second-level administrator cannot
// see: the server says so when asked, and his password and name are sent as
// they were. The super administrator, and an older server, give no mark.
TEST_F(UserEditorLogicTest, AUserPartlyOutsideTheScopeKeepsHisPasswordAndName) {
    SecondLevel("\\销售部\\华东区;");
    const struct {
        std::string reply;
        bool outside;
    } cases[] = {{"销售部\\华东区|outside:1", true},
                 {"销售部\\华东区|outside:0", false},
                 {"销售部\\华东区", false}};
    for (const auto& c : cases) {
        m_transport.replies["GetUserBInfo.asp?username=zhaolei`protected=1"] =
            "name:赵磊|gender:男|mobile:|email:|phone:|auth:0|uin:10001|position:|level:3|"
            "protected:0";
        ShowUsersAndClick(1);
        m_transport.replies["GetUserDepts.asp?username=zhaolei`outside=1"] = c.reply;
        UserEditorLogic editor = Editor(UserEditorMode::kUpdate);
        editor.Open();
        EXPECT_EQ(editor.PartlyOutside(), c.outside) << c.reply;
        EXPECT_EQ(editor.DeptsAtOpening(), "销售部\\华东区");
        EXPECT_EQ(editor.Depts().Items(), Strings{"\\销售部\\华东区"});
        UserForm typed = editor.Form();
        typed.password = "new-pw";
        typed.name = "别人";
        m_transport.requests.clear();
        editor.Submit(typed);
        ASSERT_FALSE(m_transport.requests.empty());
        const std::string& sent = m_transport.requests.front();
        EXPECT_NE(sent.find(c.outside ? "`name=赵磊`" : "`name=别人`"), std::string::npos) << sent;
        EXPECT_NE(sent.find(c.outside ? "`pwd=`" : "`pwd=new-pw`"), std::string::npos) << sent;
    }
}

TEST_F(UserEditorLogicTest, SecondLevelTreeStartsAtTheManagedDepartments) {
    SecondLevel("\\销售部\\华东区;\\研发部;");
    PointAt("\\研发部");
    UserEditorLogic editor = Editor(UserEditorMode::kAdd);
    editor.Open();
    EXPECT_EQ(Items(editor.Tree().Root()),
              (Strings{"销售部\\华东区=\\销售部\\华东区", "研发部=\\研发部"}));
    EXPECT_EQ(m_transport.requests, Strings{});
    editor.ClickTree(ChildAt(editor.Tree().Root(), "\\销售部\\华东区"));
    EXPECT_EQ(m_transport.requests, Strings{"GetChildDepts.asp?deptId=\\销售部\\华东区"});
    EXPECT_EQ(Items(*ChildAt(editor.Tree().Root(), "\\销售部\\华东区")),
              Strings{"一组=\\销售部\\华东区\\一组"});
}

// --- 用户角色管理 ------------------------------------------------------------

using UserRolesLogicTest = DialogFixture;

TEST_F(UserRolesLogicTest, SuperAdministratorChoosesFromAllRolesButTheBuiltInOnes) {
    m_transport.replies["GetAllRoles.asp?"] = "=User=管理员=经理=员工=USER;=PowerUser";
    UserRolesLogic logic(m_transport, m_sink, m_login, "User;经理;客户;PowerUser;");
    logic.Open();
    EXPECT_EQ(logic.Available().Items(), Strings{"员工"});
    // Chinese names by pinyin, and before Latin ones.
    EXPECT_EQ(logic.Given().Items(), (Strings{"经理", "客户", "PowerUser"}));

    logic.SelectGiven(logic.Given().FindExact("经理"));
    logic.TakeBackSelected();
    logic.TakeBackSelected();  // nothing selected any more: nothing moves
    EXPECT_EQ(logic.Available().Items(), (Strings{"经理", "员工"}));
    logic.SelectAvailable(logic.Available().FindExact("员工"));
    logic.GiveSelected();
    EXPECT_EQ(logic.RolesText(), "客户;员工;PowerUser;");
}

TEST_F(UserRolesLogicTest, SecondLevelAdministratorHandsOutOnlyHisRoles) {
    SecondLevel("\\研发部;");
    m_transport.replies["Get2NdAdminRoles.asp?username=zhaolei"] = "经理|员工|";
    UserRolesLogic logic(m_transport, m_sink, m_login, "");
    logic.Open();
    EXPECT_EQ(m_transport.requests, Strings{"Get2NdAdminRoles.asp?username=zhaolei"});
    EXPECT_EQ(logic.Available().Items(), (Strings{"经理", "员工"}));
    EXPECT_EQ(logic.RolesText(), "");

    m_transport.replies["Get2NdAdminRoles.asp?username=zhaolei"] = " ";
    UserRolesLogic none(m_transport, m_sink, m_login, "");
    none.Open();
    EXPECT_TRUE(none.Available().Empty());
}

// The server would refuse to take away a role he may not hand out.
TEST_F(UserRolesLogicTest, SecondLevelAdministratorCannotTakeAwayARoleHeMayNotHandOut) {
    SecondLevel("\\研发部;");
    m_transport.replies["Get2NdAdminRoles.asp?username=zhaolei"] = "经理|员工|";
    UserRolesLogic logic(m_transport, m_sink, m_login, "经理;总监;");
    logic.Open();
    EXPECT_EQ(logic.Available().Items(), Strings{"员工"});
    EXPECT_EQ(logic.Given().Items(), (Strings{"经理", "总监"}));

    logic.SelectGiven(logic.Given().FindExact("总监"));
    EXPECT_FALSE(logic.CanTakeBack());
    logic.TakeBackSelected();
    EXPECT_EQ(logic.Given().Items(), (Strings{"经理", "总监"}));

    logic.SelectGiven(logic.Given().FindExact("经理"));
    EXPECT_TRUE(logic.CanTakeBack());
    logic.TakeBackSelected();
    EXPECT_EQ(logic.Available().Items(), (Strings{"经理", "员工"}));
    EXPECT_EQ(logic.RolesText(), "总监;");
}

TEST_F(UserRolesLogicTest, UnreadableRoleListKeepsTheUsersRoles) {
    m_transport.replies["GetAllRoles.asp?"] = "error:请先登录";
    UserRolesLogic logic(m_transport, m_sink, m_login, "经理;");
    logic.Open();
    EXPECT_EQ(m_sink.Texts(), Strings{"请先登录"});
    EXPECT_TRUE(logic.Available().Empty());
    EXPECT_EQ(logic.RolesText(), "经理;");
}

}  // namespace
}  // namespace warden::console::test

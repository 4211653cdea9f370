#include <gtest/gtest.h>

#include "console/dialogs/RoleManagerLogic.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

Strings Marks(const RightRows& rights) {
    Strings rows;
    for (const RightRow& row : rights.Rows()) {
        rows.push_back(row.description + " " + row.deny + row.allow + " " + row.identity);
    }
    return rows;
}

class RoleManagerLogicTest : public ::testing::Test {
  protected:
    RoleManagerLogicTest() {
        m_transport.replies["GetAllRoles.asp?"] = "=User=管理员=经理=user=客服";
        m_transport.replies["GetRoleDescription.asp?rolename=经理"] = "  部门经理 ";
        m_transport.replies["GetRightsOfRole.asp?rolename=经理"] =
            "R_SMS|0|1|发送短信|^R_FILE|1|0|发送文件|^R_BROKEN|1|^R_BCAST|0|0|广播|";
        m_transport.replies["GetRoleDescription.asp?rolename=客服"] = " ";
        m_transport.replies["GetRightsOfRole.asp?rolename=客服"] = " ";
        m_logic.Open();
    }

    void ClickRole(const std::string& role) { m_logic.ClickRole(m_logic.Roles().FindExact(role)); }

    FakeTransport m_transport;
    FakeSink m_sink;
    RoleManagerLogic m_logic{m_transport, m_sink};
};

TEST_F(RoleManagerLogicTest, ClickingARoleShowsItsDescriptionAndRightsSortedByDescription) {
    EXPECT_EQ(m_logic.Roles().Size(), 5);
    EXPECT_FALSE(m_logic.RoleChangeable());
    ClickRole("经理");
    EXPECT_TRUE(m_logic.RoleChangeable());
    EXPECT_EQ(m_logic.NameField(), "经理");
    EXPECT_EQ(m_logic.DescriptionField(), "部门经理 ");
    // The record too short to name its right is left out.
    EXPECT_EQ(Marks(m_logic.Rights()),
              (Strings{"发送短信 -+ R_SMS", "发送文件 +- R_FILE", "广播 -- R_BCAST"}));

    m_logic.ClickRight(1);
    ClickRole("客服");
    EXPECT_EQ(m_logic.Rights().Size(), 0);
    EXPECT_EQ(m_logic.DescriptionField(), "");
    EXPECT_FALSE(m_logic.RightToEdit().has_value());
}

TEST_F(RoleManagerLogicTest, BuiltInRolesAreFixedAndUndeletableInAnyCase) {
    m_transport.fallback = [](const std::string&) { return std::string(" "); };
    ClickRole("User");
    EXPECT_FALSE(m_logic.RoleChangeable());
    ClickRole("user");
    EXPECT_TRUE(m_logic.RoleChangeable());
    m_transport.requests.clear();
    m_logic.DeleteRole();
    EXPECT_EQ(m_sink.Texts(), Strings{"此角色不可删除"});
    EXPECT_TRUE(m_sink.questions.empty());
    EXPECT_TRUE(m_transport.requests.empty());
}

TEST_F(RoleManagerLogicTest, DeletionAsksFirstAndForgetsTheRoleWhenDone) {
    ClickRole("经理");
    m_logic.ClickRight(0);
    m_sink.answers = {false};
    m_transport.requests.clear();
    m_logic.DeleteRole();
    ASSERT_EQ(m_sink.questions.size(), 1u);
    EXPECT_EQ(m_sink.questions[0].first, "确认");
    EXPECT_EQ(m_sink.questions[0].second, "确定要删除角色[经理]么?");
    EXPECT_TRUE(m_transport.requests.empty());

    m_transport.replies["RoleAdmin.asp?op=del`name=经理"] = "info:删除角色成功";
    m_logic.DeleteRole();
    EXPECT_EQ(m_sink.Texts(), Strings{"删除角色成功"});
    EXPECT_EQ(m_logic.Roles().FindExact("经理"), -1);
    EXPECT_FALSE(m_logic.Roles().HasSelection());
    EXPECT_FALSE(m_logic.RightToEdit().has_value());
    EXPECT_FALSE(m_logic.RoleChangeable());
}

TEST_F(RoleManagerLogicTest, UpdateSendsTheBoxesAsTypedAndRenamesTheRow) {
    ClickRole("经理");
    const std::string request = "RoleAdmin.asp?op=update`name=经理`newname= 主管 `desc=新的";
    m_transport.replies[request] = "info:修改角色成功";
    m_logic.UpdateRole(" 主管 ", "新的");
    EXPECT_EQ(m_transport.requests.back(), request);
    EXPECT_EQ(m_logic.Roles().FindExact("经理"), -1);
    ASSERT_TRUE(m_logic.Roles().HasSelection());
    EXPECT_EQ(m_logic.Roles().SelectedText(), " 主管 ");

    m_transport.replies["RoleAdmin.asp?op=update`name= 主管 `newname=x`desc="] = "error:失败";
    m_logic.UpdateRole("x", "");
    EXPECT_EQ(m_logic.Roles().SelectedText(), " 主管 ");
    EXPECT_EQ(m_sink.Texts().back(), "失败");
}

TEST_F(RoleManagerLogicTest, RoleTextTheWireCannotCarryIsRefusedAndNothingChanges) {
    ClickRole("经理");
    m_transport.requests.clear();
    const std::string names = "不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";
    EXPECT_FALSE(m_logic.UpdateRole("经理=主管", "x"));
    EXPECT_FALSE(m_logic.UpdateRole("主管", "why?"));
    AddRoleLogic add(m_transport, m_sink, m_logic);
    EXPECT_EQ(add.Submit("a|b", ""), AddRoleOutcome::kFocusName);
    EXPECT_EQ(add.Submit("ok", std::string(257, 'd')), AddRoleOutcome::kFocusName);
    EXPECT_EQ(m_sink.Texts(), (Strings{"角色名称" + names, "描述信息不能含有以下字符: ` ?",
                                       "角色名称" + names, "角色描述不能超过256个字符"}));
    EXPECT_TRUE(m_transport.requests.empty());
    EXPECT_EQ(m_logic.Roles().SelectedText(), "经理");
}

TEST_F(RoleManagerLogicTest, RightSettingSendsOneRightAndMarksTheRowOnTrue) {
    ClickRole("经理");
    m_logic.ClickRight(2);  // 广播, neither denied nor allowed
    std::optional<RightSetting> setting = m_logic.RightToEdit();
    ASSERT_TRUE(setting.has_value());
    EXPECT_EQ(setting->role, "经理");
    EXPECT_EQ(setting->identity, "R_BCAST");
    RightSettingLogic dialog(m_transport, m_sink, m_logic, *setting);
    EXPECT_EQ(dialog.InitialChoice(), RightChoice::kNone);
    m_transport.replies["UpdateRoleRight.asp?name=经理`rightInfo=R_BCAST|1|0"] = "TRUE";
    dialog.Submit(RightChoice::kNone);  // no choice denies
    EXPECT_EQ(m_sink.Texts(), Strings{"权限修改成功!"});
    EXPECT_EQ(m_sink.shown[0].caption, "信息");
    EXPECT_EQ(m_logic.Rights().At(2).deny, "+");
    EXPECT_EQ(m_logic.Rights().At(2).allow, "-");

    // Anything but "true" is shown and changes nothing, even an "info:".
    m_transport.replies["UpdateRoleRight.asp?name=经理`rightInfo=R_BCAST|0|1"] = "info:已修改";
    RightSettingLogic again(m_transport, m_sink, m_logic, *m_logic.RightToEdit());
    EXPECT_EQ(again.InitialChoice(), RightChoice::kDeny);
    again.Submit(RightChoice::kAllow);
    EXPECT_EQ(m_sink.Texts().back(), "已修改");
    EXPECT_EQ(m_logic.Rights().At(2).deny, "+");
}

TEST_F(RoleManagerLogicTest, AllowFlagWinsWhenBothAreSet) {
    RightSettingLogic logic(m_transport, m_sink, m_logic, {"经理", "d", "R", "1", "1"});
    EXPECT_EQ(logic.InitialChoice(), RightChoice::kAllow);
}

TEST_F(RoleManagerLogicTest, NoRightIsEditedWithoutASelectedRole) {
    ClickRole("经理");
    m_logic.ClickRight(0);
    m_logic.ClickRole(-1);  // a click beside the roles
    EXPECT_FALSE(m_logic.RightToEdit().has_value());
}

TEST_F(RoleManagerLogicTest, UnreadableRoleListIsShown) {
    FakeTransport transport;
    transport.replies["GetAllRoles.asp?"] = "error:请先登录";
    RoleManagerLogic logic(transport, m_sink);
    logic.Open();
    EXPECT_EQ(logic.Roles().Size(), 0);
    EXPECT_EQ(m_sink.Texts(), Strings{"请先登录"});
}

// --- 添加角色 ----------------------------------------------------------------

class AddRoleLogicTest : public RoleManagerLogicTest {
  protected:
    AddRoleLogicTest() {
        m_transport.replies["GetAllRights.asp?"] = "R2|乙权限|x|0|^R1|甲权限|1|^BAD|";
        m_add.Open();
    }
    AddRoleLogic m_add{m_transport, m_sink, m_logic};
};

TEST_F(AddRoleLogicTest, RightsStartDeniedUnlessAllowedAndFollowTheRadioButtons) {
    // By pinyin: jia before yi.
    EXPECT_EQ(Marks(m_add.Rights()), (Strings{"甲权限 -+ R1", "乙权限 -- R2"}));
    EXPECT_EQ(m_add.ClickRight(0), RightChoice::kAllow);
    EXPECT_EQ(m_add.ClickRight(1), RightChoice::kNone);
    m_add.Choose(RightChoice::kDeny);
    EXPECT_EQ(m_add.ClickRight(1), RightChoice::kDeny);
    m_add.ClickRight(-1);
    m_add.Choose(RightChoice::kAllow);  // no right clicked: nothing changes
    EXPECT_EQ(Marks(m_add.Rights()), (Strings{"甲权限 -+ R1", "乙权限 +- R2"}));
}

TEST_F(AddRoleLogicTest, SubmitSendsEveryRightInListOrderAndStaysOpenForTheNext) {
    m_add.ClickRight(1);
    m_add.Choose(RightChoice::kDeny);
    EXPECT_EQ(m_add.Submit("   ", "x"), AddRoleOutcome::kFocusName);
    EXPECT_EQ(m_sink.Texts(), Strings{"请输入角色名称"});

    const std::string request =
        "RoleAdmin.asp?op=add`name= 销售 `desc= 说明`rightInfo=R1|0|1^R2|1|0";
    m_transport.replies[request] = "info:添加角色成功";
    EXPECT_EQ(m_add.Submit(" 销售 ", " 说明"), AddRoleOutcome::kAdded);
    EXPECT_EQ(m_transport.requests.back(), request);
    EXPECT_GE(m_logic.Roles().FindExact(" 销售 "), 0);
    // The right settings stay for the next role.
    EXPECT_EQ(m_add.Rights().At(1).deny, "+");

    m_transport.replies["RoleAdmin.asp?op=add`name=x`desc=`rightInfo=R1|0|1^R2|1|0"] =
        "error:权限不能为空";
    EXPECT_EQ(m_add.Submit("x", ""), AddRoleOutcome::kStayOpen);
    EXPECT_EQ(m_logic.Roles().FindExact("x"), -1);
}

}  // namespace
}  // namespace warden::console::test

#include <gtest/gtest.h>

#include "console/dialogs/AddDeptLogic.h"
#include "console/dialogs/ChangeDeptLogic.h"
#include "console/dialogs/OrderDeptLogic.h"
#include "tests/console/dialogs/DialogFixture.h"

namespace warden::console::test {
namespace {

// --- 添加部门 ----------------------------------------------------------------

using AddDeptLogicTest = DialogFixture;

TEST_F(AddDeptLogicTest, AddsUnderTheCurrentDepartmentAndStaysOpenForMore) {
    PointAt("\\销售部");
    AddDeptLogic logic(m_transport, m_sink, m_window);
    EXPECT_EQ(logic.Parent(), "\\销售部");
    m_transport.replies["DeptAdd.asp?deptid=华北区`parentdept=\\销售部"] = "info:添加部门成功";
    m_children["\\销售部"] = "华东区,华北区,华南区";
    EXPECT_TRUE(logic.Add("  华北区 "));
    // The parent's children are read, not the whole tree; the new one is
    // shown as a click on it would.
    EXPECT_EQ(m_transport.requests, (Strings{"DeptAdd.asp?deptid=华北区`parentdept=\\销售部",
                                             "GetChildDepts.asp?deptId=\\销售部",
                                             "GetChildDepts.asp?deptId=\\销售部\\华北区",
                                             "GetDeptUsers.asp?deptId=\\销售部\\华北区"}));
    EXPECT_EQ(m_window.CurrentDeptPath(), "\\销售部\\华北区");
    EXPECT_EQ(m_sink.Texts(), Strings{"添加部门成功"});
    EXPECT_EQ(logic.Parent(), "\\销售部");

    // A refusal keeps the name for correction and leaves the tree alone.
    m_transport.requests.clear();
    m_transport.replies["DeptAdd.asp?deptid=华东区`parentdept=\\销售部"] = "error:部门已经存在";
    EXPECT_FALSE(logic.Add("华东区"));
    EXPECT_EQ(m_sink.shown.back().caption, "错误");
    EXPECT_EQ(m_transport.requests.size(), 1u);
}

TEST_F(AddDeptLogicTest, EmptyNameIsRefusedBeforeAnyRequest) {
    PointAt("\\销售部");
    AddDeptLogic logic(m_transport, m_sink, m_window);
    EXPECT_FALSE(logic.Add(" \t"));
    EXPECT_EQ(m_sink.Texts(), Strings{"请输入部门名称"});
    EXPECT_EQ(m_sink.shown[0].caption, "提示");
    EXPECT_TRUE(m_transport.requests.empty());
}

// Sent raw, "bq`tail" would create "bq" and report success, and "a?b" would
// empty the whole request.
TEST_F(AddDeptLogicTest, NamesTheWireCannotCarryOrTooLongAreRefusedByAddAndRename) {
    PointAt("\\销售部\\华东区");
    AddDeptLogic add(m_transport, m_sink, m_window);
    ChangeDeptLogic rename(m_transport, m_sink, m_window);
    rename.Open();
    m_transport.requests.clear();
    const std::string reserved = "部门名称不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";
    struct Case {
        std::string name;
        std::string message;
    } cases[] = {
        {"bq`tail", reserved},
        {"a?b", reserved},
        {"华东;区", reserved},
        {"上海\\浦东", reserved},
        {std::string(65, 'x'), "部门名称不能超过64个字符"},
    };
    for (const Case& c : cases) {
        m_sink.shown.clear();
        EXPECT_FALSE(add.Add(c.name));
        EXPECT_EQ(rename.Submit(c.name, nullptr), ChangeDeptOutcome::kFocusName);
        EXPECT_EQ(m_sink.Texts(), (Strings{c.message, c.message})) << c.name;
    }
    EXPECT_TRUE(m_transport.requests.empty());

    // 64 Chinese characters are 192 bytes, and still a name of 64 characters.
    std::string longest;
    for (int i = 0; i < 64; ++i) longest += "部";
    m_transport.replies["DeptAdd.asp?deptid=" + longest + "`parentdept=\\销售部\\华东区"] =
        "info:添加部门成功";
    EXPECT_TRUE(add.Add(longest));
}

TEST_F(AddDeptLogicTest, OnlyTheSuperAdministratorMayAddAtTheTopLevel) {
    PointAt("\\销售部");
    AddDeptLogic super(m_transport, m_sink, m_window);
    super.ClearParent();
    EXPECT_EQ(super.Parent(), "");
    m_transport.replies["DeptAdd.asp?deptid=市场部`parentdept="] = "info:添加部门成功";
    EXPECT_TRUE(super.Add("市场部"));
    EXPECT_TRUE(m_sink.shown.size() == 1u && m_sink.shown[0].caption == "信息");

    SecondLevel("\\销售部;");
    PointAt("\\销售部");
    AddDeptLogic second(m_transport, m_sink, m_window);
    second.ClearParent();
    EXPECT_EQ(second.Parent(), "\\销售部");
    EXPECT_EQ(m_sink.Texts().back(), "只有一级管理员可以添加根部门");
}

// --- 修改部门 ----------------------------------------------------------------

class ChangeDeptLogicTest : public DialogFixture {
  protected:
    ChangeDeptLogic Make() { return ChangeDeptLogic(m_transport, m_sink, m_window); }
};

TEST_F(ChangeDeptLogicTest, TreeNeverOffersTheDepartmentItselfOrAnythingBelowIt) {
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic logic = Make();
    logic.Open();
    EXPECT_EQ(logic.OldName(), "华东区");
    const DeptNode& root = logic.Tree().Root();
    EXPECT_EQ(Items(root), (Strings{"销售部=\\销售部", "研发部=\\研发部"}));
    EXPECT_EQ(logic.Tree().Click(ChildAt(root, "\\销售部")), "\\销售部");
    EXPECT_EQ(Items(*ChildAt(root, "\\销售部")), Strings{"华南区=\\销售部\\华南区"});
    // Children are read once: a second click asks nothing.
    int asked = m_transport.CountStartingWith("GetChildDepts.asp");
    logic.Tree().Click(ChildAt(root, "\\销售部"));
    EXPECT_EQ(m_transport.CountStartingWith("GetChildDepts.asp"), asked);

    // A second-level administrator's managed department is not his to
    // change at all: nothing is offered.
    SecondLevel("\\销售部\\华东区;\\研发部;");
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic second = Make();
    second.Open();
    EXPECT_EQ(second.OldName(), "");
    EXPECT_TRUE(second.Tree().Root().children.empty());
}

TEST_F(ChangeDeptLogicTest, RenameAloneSendsOneChangeAndCloses) {
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic logic = Make();
    logic.Open();
    m_transport.requests.clear();
    m_transport.replies
        ["DeptChange.asp?op=changedeptname`origdeptname=\\销售部\\华东区`"
         "newdeptname=华中区"] = "info:修改部门成功";
    m_children["\\销售部"] = "华中区,华南区";
    EXPECT_EQ(logic.Submit(" 华中区 ", nullptr), ChangeDeptOutcome::kClose);
    EXPECT_EQ(m_transport.CountStartingWith("DeptChange.asp"), 1);
    EXPECT_EQ(m_sink.Texts(), Strings{"修改部门成功"});
    EXPECT_EQ(logic.OldPath(), "\\销售部\\华中区");
    // The main window shows it under its new name, and nothing else moved.
    EXPECT_EQ(m_window.CurrentDeptPath(), "\\销售部\\华中区");
    EXPECT_EQ(Items(*ChildAt(m_window.TreeRoot(), "\\销售部")),
              (Strings{"华中区=\\销售部\\华中区", "华南区=\\销售部\\华南区"}));
    EXPECT_EQ(m_transport.CountStartingWith("GetChildDepts.asp?deptId=\\销售部"), 2);
    EXPECT_EQ(m_transport.CountStartingWith("GetChildDepts.asp?deptId=`"), 0);
}

TEST_F(ChangeDeptLogicTest, RenameThenMoveUsesTheNewPath) {
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic logic = Make();
    logic.Open();
    const DeptNode* rd = ChildAt(logic.Tree().Root(), "\\研发部");
    m_transport.requests.clear();
    m_transport.replies
        ["DeptChange.asp?op=changedeptname`origdeptname=\\销售部\\华东区`"
         "newdeptname=华南区"] = "info:修改部门成功";
    m_transport.replies
        ["DeptChange.asp?op=changeparent`origdeptname=\\销售部\\华南区`"
         "newparentdept=\\研发部"] = "error:修改父部门失败";
    EXPECT_EQ(logic.Submit("华南区", rd), ChangeDeptOutcome::kClose);
    Strings changes;
    for (const auto& r : m_transport.requests) {
        if (r.rfind("DeptChange.asp", 0) == 0) changes.push_back(r);
    }
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_NE(changes[1].find("origdeptname=\\销售部\\华南区`newparentdept=\\研发部"),
              std::string::npos);
    // A failed move is shown and the dialog still closes.
    EXPECT_EQ(m_sink.Texts(), Strings{"修改父部门失败"});
}

// It used to show an information box without text, after half a second
// of sleep on the window's thread.
TEST_F(ChangeDeptLogicTest, NothingChangedIsSaidAndNothingIsSent) {
    PointAt("\\研发部");
    ChangeDeptLogic logic = Make();
    logic.Open();
    m_transport.requests.clear();
    EXPECT_EQ(logic.Submit("研发部", nullptr), ChangeDeptOutcome::kFocusName);
    EXPECT_TRUE(m_transport.requests.empty());
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].caption, "提示");
    EXPECT_EQ(m_sink.shown[0].text, "部门名称和上级部门都没有改变, 没有需要提交的修改");
}

TEST_F(ChangeDeptLogicTest, FailedRenameStopsBeforeAnyMove) {
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic logic = Make();
    logic.Open();
    const DeptNode* rd = ChildAt(logic.Tree().Root(), "\\研发部");
    m_transport.requests.clear();
    m_transport.replies
        ["DeptChange.asp?op=changedeptname`origdeptname=\\销售部\\华东区`"
         "newdeptname=华南区"] = "error:部门已经存在";
    EXPECT_EQ(logic.Submit("华南区", rd), ChangeDeptOutcome::kStayOpen);
    EXPECT_EQ(m_transport.requests.size(), 1u);
    EXPECT_EQ(m_sink.Texts(), Strings{"部门已经存在"});
    EXPECT_EQ(logic.OldPath(), "\\销售部\\华东区");

    // No reply at all stops without a word of its own.
    m_sink.shown.clear();
    m_transport.replies.clear();
    EXPECT_EQ(logic.Submit("华北区", nullptr), ChangeDeptOutcome::kStayOpen);
    EXPECT_TRUE(m_sink.shown.empty());
}

TEST_F(ChangeDeptLogicTest, EmptyNameAsksForOne) {
    PointAt("\\研发部");
    ChangeDeptLogic logic = Make();
    logic.Open();
    m_transport.requests.clear();
    EXPECT_EQ(logic.Submit("  ", nullptr), ChangeDeptOutcome::kFocusName);
    EXPECT_EQ(m_sink.Texts(), Strings{"部门名称不允许为空"});
    EXPECT_TRUE(m_transport.requests.empty());
}

TEST_F(ChangeDeptLogicTest, RefusedChildListIsShownNotTakenForNames) {
    PointAt("\\研发部");
    m_children[""] = "error:请先登录";
    ChangeDeptLogic logic = Make();
    logic.Open();
    EXPECT_TRUE(logic.Tree().Root().children.empty());
    EXPECT_EQ(m_sink.Texts(), Strings{"请先登录"});
}

// --- 修改部门位置 ------------------------------------------------------------

using OrderDeptLogicTest = DialogFixture;

TEST_F(OrderDeptLogicTest, SiblingsExcludeTheDepartmentAndTheLastOneIsTheDefaultTarget) {
    m_transport.replies["GetSameLevelDepts.asp?deptId=\\总部\\销售部\\"] = "华东区,华南区,华北区";
    OrderDeptLogic logic(m_transport, m_sink, m_window, "\\总部\\销售部\\华东区");
    logic.Open();
    EXPECT_EQ(logic.Name(), "华东区");
    EXPECT_EQ(logic.ParentPrefix(), "\\总部\\销售部\\");
    EXPECT_EQ(logic.Siblings(), (Strings{"华南区", "华北区"}));
    EXPECT_EQ(logic.InitialChoice(), 0);
    EXPECT_TRUE(logic.CanSubmit());

    const std::string last =
        "SetDeptOrder.asp?deptName=\\总部\\销售部\\华东区`nextDeptName=\\总部\\销售部\\华北区"
        "`isLast=1";
    m_transport.replies[last] = "error:修改部门顺序失败";
    EXPECT_FALSE(logic.Submit(true, "华南区"));
    EXPECT_EQ(m_transport.requests.back(), last);
    EXPECT_EQ(m_sink.Texts(), Strings{"修改部门顺序失败"});

    const std::string before =
        "SetDeptOrder.asp?deptName=\\总部\\销售部\\华东区`nextDeptName=\\总部\\销售部\\华南区"
        "`isLast=0";
    m_transport.replies[before] = " info:修改部门顺序成功 ";
    EXPECT_TRUE(logic.Submit(false, " 华南区"));
    EXPECT_EQ(m_transport.requests[m_transport.requests.size() - 2], before);
    EXPECT_EQ(m_transport.requests.back(), "GetChildDepts.asp?deptId=");
    EXPECT_EQ(m_sink.Texts().back(), "修改部门顺序成功");
}

// His assigned department belongs to the tree above him: reordering it is
// not offered. Below it everything is his.
TEST_F(OrderDeptLogicTest, SecondLevelAdministratorReordersOnlyBelowHisDepartments) {
    SecondLevel("\\总部\\销售部;");
    OrderDeptLogic assigned(m_transport, m_sink, m_window, "\\总部\\销售部");
    assigned.Open();
    EXPECT_FALSE(assigned.CanSubmit());
    EXPECT_FALSE(assigned.Submit(true, ""));
    EXPECT_TRUE(m_transport.requests.empty());

    ChangeDeptLogic change(m_transport, m_sink, m_window);
    PointAt("\\总部\\销售部");
    change.Open();
    EXPECT_EQ(change.OldName(), "");
    EXPECT_EQ(change.Submit("改名", nullptr), ChangeDeptOutcome::kStayOpen);
    EXPECT_EQ(m_transport.CountStartingWith("DeptChange.asp"), 0);

    m_transport.replies["GetSameLevelDepts.asp?deptId=\\总部\\销售部\\"] = "华东区,华南区";
    OrderDeptLogic inside(m_transport, m_sink, m_window, "\\总部\\销售部\\华东区");
    inside.Open();
    EXPECT_EQ(inside.Siblings(), Strings{"华南区"});
    EXPECT_TRUE(inside.CanSubmit());
}

TEST_F(OrderDeptLogicTest, OnlyChildCannotBeReordered) {
    m_transport.replies["GetSameLevelDepts.asp?deptId=\\"] = "总部";
    OrderDeptLogic logic(m_transport, m_sink, m_window, "\\总部");
    logic.Open();
    EXPECT_EQ(logic.ParentPrefix(), "\\");
    EXPECT_EQ(m_sink.Texts(), Strings{"\\总部 没有同级部门,无需修改部门顺序"});
    EXPECT_FALSE(logic.CanSubmit());
    EXPECT_FALSE(logic.Submit(true, ""));
    EXPECT_EQ(m_transport.requests.size(), 1u);
}

TEST_F(OrderDeptLogicTest, NoOrRefusedSiblingListLeavesNothingToSubmit) {
    OrderDeptLogic silent(m_transport, m_sink, m_window, "\\研发部");
    silent.Open();  // no reply
    EXPECT_FALSE(silent.CanSubmit());
    EXPECT_TRUE(m_sink.shown.empty());

    m_transport.replies["GetSameLevelDepts.asp?deptId=\\"] =
        "error:处理请求失败,请检查数据后重新提交";
    OrderDeptLogic refused(m_transport, m_sink, m_window, "\\研发部");
    refused.Open();
    EXPECT_TRUE(refused.Siblings().empty());
    EXPECT_FALSE(refused.CanSubmit());
    EXPECT_EQ(m_sink.Texts(), Strings{"处理请求失败,请检查数据后重新提交"});
}

}  // namespace
}  // namespace warden::console::test

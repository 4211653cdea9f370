#include <gtest/gtest.h>

#include "console/dialogs/AdminLogic.h"
#include "protocol/Permissions.h"
#include "tests/console/dialogs/DialogFixture.h"

namespace warden::console::test {
namespace {

// --- 分级管理员管理 ----------------------------------------------------------

class AdminListLogicTest : public DialogFixture {
  protected:
    AdminListLogicTest() {
        m_transport.replies["GetAdminList.asp?"] = "zhaolei|bob|";
        m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\销售部;\\研发部\\一组;";
        m_list.Open();
    }
    AdminListLogic m_list{m_transport, m_sink};
};

TEST_F(AdminListLogicTest, SelectingAnAdministratorShowsHisDepartments) {
    EXPECT_EQ(m_list.Admins().Items(), (Strings{"bob", "zhaolei"}));
    m_list.SelectAdmin(0);
    EXPECT_EQ(m_list.Depts().Items(), (Strings{"\\销售部", "\\研发部\\一组"}));  // pinyin
    EXPECT_EQ(m_list.SelectedAdmin(), "bob");
    m_list.SelectAdmin(-1);
    EXPECT_TRUE(m_list.Depts().Empty());
    EXPECT_EQ(m_list.SelectedAdmin(), "");

    AdminListLogic empty(m_transport, m_sink);
    m_transport.replies["GetAdminList.asp?"] = " ";
    empty.Open();
    EXPECT_TRUE(empty.Admins().Empty());
}

TEST_F(AdminListLogicTest, DeletionAsksAndRemovesTheAdministratorOnlyWhenTheServerAgrees) {
    m_list.SelectAdmin(0);
    m_sink.answers = {false, true, true};
    m_list.DeleteSelected();
    EXPECT_EQ(m_sink.questions.back().second, "确认删除 bob 管理员么?");
    EXPECT_EQ(m_transport.CountStartingWith("DeleteAdmin.asp"), 0);

    m_transport.replies["DeleteAdmin.asp?username=bob"] = "error:删除失败";
    m_list.DeleteSelected();
    EXPECT_EQ(m_list.Admins().Size(), 2);
    EXPECT_EQ(m_sink.Texts(), Strings{"删除失败"});

    m_transport.replies["DeleteAdmin.asp?username=bob"] = "info:删除成功";
    m_list.DeleteSelected();
    EXPECT_EQ(m_list.Admins().Items(), Strings{"zhaolei"});
    EXPECT_TRUE(m_list.Depts().Empty());
    EXPECT_FALSE(m_list.Admins().HasSelection());
    EXPECT_EQ(m_sink.Texts().back(), "删除成功");
}

// Each administrator's row: name, departments and roles, gone ones marked;
// asked all at once where the connection pipelines, one by one where not,
// with the same rows either way and after a save.
TEST_F(AdminListLogicTest, EveryAdministratorHasHisNameDepartmentsAndRoles) {
    AdminEffective bob;
    bob.exists = true;
    bob.depts = {{"\\销售部", "ok"}, {"\\旧部", "missing"}};
    bob.roles = {{"销售", "ok"}, {"客服", "ok"}};
    m_transport.replies["GetAdminEffective.asp?username=bob"] = FormatAdminEffective(bob);
    m_transport.replies["GetUserBInfo.asp?username=bob"] = "name:鲍勃|gender:男";
    m_transport.replies["GetAdminEffective.asp?username=zhaolei"] = FormatAdminEffective({});
    m_transport.replies["GetUserBInfo.asp?username=zhaolei"] = "error:用户不存在";
    const AdminOverview bobRow{"鲍勃", "\\销售部; \\旧部(已不存在)", "销售、客服"};
    for (int window : {1, 4}) {
        m_transport.window = window;
        AdminListLogic list(m_transport, m_sink);
        list.Open();
        EXPECT_EQ(list.Overview("bob"), bobRow) << window;
        EXPECT_EQ(list.Overview("zhaolei"), AdminOverview{}) << window;
        EXPECT_TRUE(m_transport.posted.empty());
    }
    m_transport.replies["GetUserBInfo.asp?username=bob"] = "name:鲍勃二";
    m_list.AdminSaved("bob", false, SortedNames{});
    EXPECT_EQ(m_list.Overview("bob").name, "鲍勃二");
    EXPECT_TRUE(m_sink.shown.empty());
}

// --- 添加分级管理员 / 修改分级管理员 -----------------------------------------

class AdminEditorLogicTest : public DialogFixture {
  protected:
    AdminEditorLogicTest() {
        m_children = {{"", "A,E"}, {"\\A", "B,BX"}, {"\\A\\B", "D"}};
        m_transport.replies["GetAllRoles.asp?"] = "=User=管理员=经理=员工";
        m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\A\\B;";
        m_transport.replies["Get2NdAdminRoles.asp?username=bob"] = " 经理|user|";
        m_transport.replies["GetAdminList.asp?"] = "zhaolei|bob|";
        m_list.Open();
    }

    AdminEditorLogic Editor(const std::string& name, bool update, AdminListLogic* owner,
                            const std::string& preset = "") {
        return AdminEditorLogic(m_transport, m_sink, m_login, name, update, owner, preset);
    }

    // Clicks down the tree to `path` and adds it.
    bool Add(AdminEditorLogic& editor, const std::string& path) {
        const DeptNode* node = &editor.Tree().Root();
        std::string walked;
        for (const std::string& part : SplitList(path, "\\")) {
            walked += "\\" + part;
            node = ChildAt(*node, walked);
            if (node == nullptr) {
                ADD_FAILURE() << walked;
                return false;
            }
            editor.ClickTree(node);
        }
        return editor.AddChosenDept();
    }

    AdminListLogic m_list{m_transport, m_sink};
};

TEST_F(AdminEditorLogicTest, UpdateReadsDepartmentsAndRolesAndOffersTheAssignableRoles) {
    m_transport.requests.clear();
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    EXPECT_FALSE(editor.Open());
    EXPECT_STREQ(editor.Title(), "修改分级管理员");
    EXPECT_FALSE(editor.NameEditable());
    EXPECT_EQ(m_transport.requests,
              (Strings{"QueryUserAdminDepts.asp?username=bob", "Get2NdAdminRoles.asp?username=bob",
                       "GetChildDepts.asp?deptId=", "GetAllRoles.asp?"}));
    EXPECT_EQ(editor.Managed().Items(), Strings{"\\A\\B"});
    EXPECT_EQ(editor.Given().Items(), Strings{"经理"});
    EXPECT_EQ(editor.Available().Items(), Strings{"员工"});
}

// "\A\BX" beside "\A\B" is a sibling: a text prefix, not a parent.
TEST_F(AdminEditorLogicTest, AncestorsAndDescendantsConflictByWholeNamesInAnyLetterCase) {
    m_children[""] = "A,E,a";
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    editor.Open();
    for (const std::string path : {"\\A", "\\A\\B", "\\A\\B\\D", "\\a"}) {
        editor.SelectManaged(-1);
        EXPECT_TRUE(Add(editor, path)) << path;
        EXPECT_EQ(m_sink.Texts().back(), "[" + path + "] 的父部门或子部门在列表中已经存在");
        EXPECT_EQ(editor.Managed().Selected(), 0);
    }
    EXPECT_FALSE(Add(editor, "\\A\\BX"));
    EXPECT_FALSE(Add(editor, "\\E"));
    EXPECT_EQ(editor.Managed().Items(), (Strings{"\\A\\B", "\\A\\BX", "\\E"}));
    EXPECT_EQ(m_sink.shown.size(), 4u);

    editor.ClickTree(nullptr);
    EXPECT_FALSE(editor.AddChosenDept());
    EXPECT_EQ(m_sink.Texts().back(), "请在部门列表中选择部门");
    EXPECT_EQ(editor.Managed().Size(), 3);
}

TEST_F(AdminEditorLogicTest, ConflictingPresetIsLeftOutSilentlyAndItsRivalSelected) {
    AdminEditorLogic editor = Editor("bob", false, nullptr, "\\A\\B\\D");
    EXPECT_TRUE(editor.Open());
    EXPECT_TRUE(m_sink.shown.empty());
    EXPECT_EQ(editor.Managed().Items(), Strings{"\\A\\B"});
    EXPECT_EQ(editor.Managed().Selected(), 0);

    AdminEditorLogic fresh = Editor("bob", false, nullptr, "\\E");
    EXPECT_FALSE(fresh.Open());
    EXPECT_EQ(fresh.Managed().Items(), (Strings{"\\A\\B", "\\E"}));
}

// "设为管理员" on someone who already is a second-level administrator: as a
// new one, saving would hand out no roles and so take his away.
TEST_F(AdminEditorLogicTest, MakingAnAdministratorAdminAgainEditsHimInUpdateMode) {
    AdminEditorLogic editor = Editor("bob", false, nullptr, "\\E");
    editor.Open();
    EXPECT_STREQ(editor.Title(), "修改分级管理员");
    EXPECT_FALSE(editor.NameEditable());
    EXPECT_EQ(editor.Given().Items(), Strings{"经理"});
    EXPECT_EQ(editor.Managed().Items(), (Strings{"\\A\\B", "\\E"}));
    m_transport.replies["CheckUserExist.asp?username=bob"] = "info:";
    const std::string save =
        "SaveAdminDepts.asp?username=bob`pwd=`depts=\\A\\B;\\E;`adminroles=经理|";
    m_transport.replies[save] = "info:保存成功";
    EXPECT_EQ(editor.Save("bob"), AdminSaveOutcome::kClose);
    EXPECT_EQ(m_transport.requests.back(), save);

    // Listed, though every department of his was taken away.
    m_transport.replies["QueryUserAdminDepts.asp?username=zhaolei"] = "|";
    AdminEditorLogic listed = Editor("zhaolei", false, nullptr, "\\E");
    listed.Open();
    EXPECT_FALSE(listed.NameEditable());

}

// "设为管理员" on carol, then her account box changed to zhaolei (an
// administrator): the save replaced zhaolei's departments and roles.
TEST_F(AdminEditorLogicTest, ANewAdministratorIsNeverSavedOverAnExistingOne) {
    m_transport.replies["QueryUserAdminDepts.asp?username=carol"] = "|";
    AdminEditorLogic fresh = Editor("carol", false, nullptr, "\\E");
    fresh.Open();
    EXPECT_STREQ(fresh.Title(), "添加分级管理员");
    EXPECT_FALSE(fresh.NameEditable());  // the user row chose the account
    EXPECT_TRUE(fresh.Given().Empty());
    m_transport.replies["CheckUserExist.asp?username=carol"] = "info:";
    m_transport.replies["SaveAdminDepts.asp?username=carol`pwd=`depts=\\E;`adminroles="] =
        "info:管理员设置成功";
    EXPECT_EQ(fresh.Save("zhaolei"), AdminSaveOutcome::kClose);
    EXPECT_EQ(m_transport.CountStartingWith("SaveAdminDepts.asp?username=zhaolei"), 0);

    // Typed in "添加管理员": checked against the server's list, not only the
    // dialog's copy, which another console may have made stale.
    m_transport.replies["QueryUserAdminDepts.asp?username="] = "|";
    AdminListLogic stale(m_transport, m_sink);
    AdminEditorLogic typed = Editor("", false, &stale);
    typed.Open();
    EXPECT_TRUE(typed.NameEditable());
    Add(typed, "\\E");
    m_transport.requests.clear();
    EXPECT_EQ(typed.Save("ZhaoLei"), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts().back(),
              "ZhaoLei 已经是分级管理员, 请在分级管理员管理中用\"修改管理员\"修改他的设置");
    EXPECT_EQ(m_transport.requests, Strings{"GetAdminList.asp?"});

    // A list that cannot be read tells nothing: saving might replace
    // someone's departments and roles, so nothing is saved.
    for (const auto& [listReply, said] :
         std::vector<std::pair<std::string, std::string>>{
             {"error:没有权限执行此操作", "没有权限执行此操作"},
             {"", "没有收到服务器的回复, 所做的修改没有保存"}}) {
        m_transport.replies["GetAdminList.asp?"] = listReply;
        EXPECT_EQ(typed.Save("carol"), AdminSaveOutcome::kStayOpen);
        EXPECT_EQ(m_sink.Texts().back(), said);
    }
    EXPECT_EQ(m_transport.CountStartingWith("CheckUserExist.asp"), 0);
    EXPECT_EQ(m_transport.CountStartingWith("SaveAdminDepts.asp"), 0);

    m_transport.requests.clear();
    EXPECT_EQ(typed.Save("ca,rol"), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts().back(), "用户名不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符");
    EXPECT_TRUE(m_transport.requests.empty());
}

// A save whose reply never came closed the editor: the edit was lost.
TEST_F(AdminEditorLogicTest, NoReplyToTheSaveKeepsTheEditorOpenAndSaysSo) {
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    editor.Open();
    m_transport.replies["CheckUserExist.asp?username=bob"] = "info:";
    EXPECT_EQ(editor.Save("bob"), AdminSaveOutcome::kStayOpen);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "没有收到服务器的回复, 所做的修改没有保存");
    EXPECT_EQ(m_transport.CountStartingWith("SaveAdminDepts.asp"), 1);
}

TEST_F(AdminEditorLogicTest, SaveChecksInOrderAndUpdatesTheListThatOpenedIt) {
    m_transport.replies["QueryUserAdminDepts.asp?username="] = "|";
    AdminEditorLogic editor = Editor("", false, &m_list);
    editor.Open();
    EXPECT_STREQ(editor.Title(), "添加分级管理员");
    EXPECT_EQ(editor.Save(""), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts(), Strings{"请设置所要管理的部门"});

    Add(editor, "\\E");
    Add(editor, "\\A\\B\\D");
    EXPECT_EQ(editor.Save("ZHAOLEI"), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts().back(), "管理员 ZHAOLEI 已存在于列表中");
    EXPECT_EQ(m_transport.CountStartingWith("CheckUserExist.asp"), 0);

    m_transport.replies["CheckUserExist.asp?username=ghost"] =
        "error:ghost不存在,管理员须为VEX用户";
    EXPECT_EQ(editor.Save("ghost"), AdminSaveOutcome::kStayOpen);
    EXPECT_EQ(m_sink.Texts().back(), "ghost不存在,管理员须为VEX用户");

    editor.SelectAvailable(editor.Available().FindExact("经理"));
    editor.GiveSelectedRole();
    editor.SelectAvailable(editor.Available().FindExact("员工"));
    editor.GiveSelectedRole();
    m_transport.replies["CheckUserExist.asp?username=chen"] = "info:";
    const std::string save =
        "SaveAdminDepts.asp?username=chen`pwd=`depts=\\A\\B\\D;\\E;`adminroles=经理|员工|";
    m_transport.replies[save] = "info:管理员设置成功";
    size_t shown = m_sink.shown.size();
    EXPECT_EQ(editor.Save("chen"), AdminSaveOutcome::kClose);
    // The save, then the list asks for the new row's name, departments and roles.
    EXPECT_EQ(m_transport.requests.end()[-3], save);
    EXPECT_EQ(m_transport.requests.back(), "GetUserBInfo.asp?username=chen");
    EXPECT_EQ(m_sink.shown.size(), shown + 1);  // the "info:" of the check is not shown
    EXPECT_EQ(m_list.Admins().Items(), (Strings{"bob", "chen", "zhaolei"}));
    EXPECT_EQ(m_list.SelectedAdmin(), "chen");
    EXPECT_EQ(m_list.Depts().Items(), (Strings{"\\A\\B\\D", "\\E"}));
}

TEST_F(AdminEditorLogicTest, UpdateSkipsTheListCheckAndAFailedSaveStillCloses) {
    m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "secret|\\A\\B;";
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    editor.Open();
    m_transport.replies["CheckUserExist.asp?username=bob"] = "info:";
    m_transport
        .replies["SaveAdminDepts.asp?username=bob`pwd=secret`depts=\\A\\B;`adminroles=经理|"] =
        "error:管理员信息设置失败";
    EXPECT_EQ(editor.Save("bob"), AdminSaveOutcome::kClose);
    EXPECT_EQ(m_sink.Texts(), Strings{"管理员信息设置失败"});
    EXPECT_EQ(m_list.Admins().Size(), 2);
    EXPECT_FALSE(m_list.Admins().HasSelection());
}

TEST_F(AdminEditorLogicTest, RolesGivenAreNoLongerOfferedAndComeBackWhenTakenAway) {
    m_transport.replies["Get2NdAdminRoles.asp?username=bob"] = "经理|特权|";
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    editor.Open();
    EXPECT_EQ(editor.Available().Items(), Strings{"员工"});
    editor.GiveSelectedRole();
    EXPECT_EQ(m_sink.Texts(), Strings{"请选择要添加的角色"});
    editor.SelectAvailable(0);
    editor.GiveSelectedRole();
    EXPECT_TRUE(editor.Available().Empty());
    EXPECT_EQ(editor.Given().Items(), (Strings{"经理", "特权", "员工"}));
    for (const char* role : {"经理", "特权"}) {
        editor.SelectGiven(editor.Given().FindExact(role));
        editor.RemoveSelectedRole();
    }
    // 特权 is not among the roles that can be handed out: not offered back.
    EXPECT_EQ(editor.Available().Items(), Strings{"经理"});
    EXPECT_EQ(editor.Given().Items(), Strings{"员工"});
}

TEST_F(AdminEditorLogicTest, SecondLevelAdministratorHasNoRolesToHandOut) {
    SecondLevel("\\A;");
    m_transport.requests.clear();
    AdminEditorLogic editor = Editor("", false, nullptr);
    editor.Open();
    EXPECT_TRUE(editor.Available().Empty());
    EXPECT_EQ(m_transport.CountStartingWith("GetAllRoles.asp"), 0);
    EXPECT_EQ(Items(editor.Tree().Root()), Strings{"A=\\A"});
}

TEST_F(AdminEditorLogicTest, DeleteKeySelectsTheEntryThatTakesThePlace) {
    m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\A;\\E;\\F;";
    AdminEditorLogic editor = Editor("bob", true, &m_list);
    editor.Open();
    editor.SelectManaged(1);
    editor.DeleteKey();
    EXPECT_EQ(editor.Managed().Items(), (Strings{"\\A", "\\F"}));
    EXPECT_EQ(editor.Managed().Selected(), 1);
    editor.DeleteKey();
    EXPECT_FALSE(editor.Managed().HasSelection());
    editor.DeleteKey();
    EXPECT_EQ(editor.Managed().Items(), Strings{"\\A"});
}

}  // namespace
}  // namespace warden::console::test

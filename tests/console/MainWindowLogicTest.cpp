#include <gtest/gtest.h>

#include <map>

#include "console/core/DeptManagers.h"
#include "console/core/MainLayout.h"
#include "console/core/MainWindowLogic.h"
#include "console/core/StatusText.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

// Records what the view is told and checks that no request is sent while a
// structural change is half done (a repaint during the wait would then see
// a broken model).
class RecordingObserver : public MainWindowObserver {
  public:
    int open = 0;
    int panelChanges = 0;
    std::vector<std::pair<int, int>> progress;
    std::vector<int> changedRows;
    std::vector<std::string> expanded;
    std::vector<std::string> selected;    // "" for none
    std::vector<std::string> treeEvents;  // "-parent:first-last", "+...", "parent:from>to"

    void BeginRemoveDeptChildren(const DeptNode& parent, int first, int last) override {
        ++open;
        treeEvents.push_back("-" + parent.path + ":" + Span(first, last));
    }
    void EndRemoveDeptChildren() override { --open; }
    void BeginInsertDeptChildren(const DeptNode& parent, int first, int last) override {
        ++open;
        treeEvents.push_back("+" + parent.path + ":" + Span(first, last));
    }
    void EndInsertDeptChildren() override { --open; }
    void BeginMoveDeptChild(const DeptNode& parent, int from, int to) override {
        ++open;
        treeEvents.push_back(parent.path + ":" + std::to_string(from) + ">" + std::to_string(to));
    }
    void EndMoveDeptChild() override { --open; }
    void ExpandDept(const DeptNode& node) override { expanded.push_back(node.path); }
    void SelectDept(const DeptNode* node) override {
        selected.push_back(node == nullptr ? "" : node->path);
    }
    void BeginUsersReset() override { ++open; }
    void EndUsersReset() override { --open; }
    void BeginInsertUser(int) override { ++open; }
    void EndInsertUser() override { --open; }
    void BeginRemoveUser(int) override { ++open; }
    void EndRemoveUser() override { --open; }
    void UserChanged(int row) override { changedRows.push_back(row); }
    void RecordProgress(int done, int total) override { progress.emplace_back(done, total); }
    void PanelChanged() override { ++panelChanges; }

  private:
    static std::string Span(int first, int last) {
        return std::to_string(first) + "-" + std::to_string(last);
    }
};

class MainWindowLogicTest : public ::testing::Test {
  protected:
    MainWindowLogicTest() {
        m_login.loginName = "admin";
        m_login.superFlag = "1";
        m_logic.SetObserver(&m_observer);
        m_transport.onSend = [this](const std::string& request) {
            EXPECT_EQ(m_observer.open, 0) << "request inside a model change: " << request;
        };
    }

    void SecondLevel(const std::string& managed) {
        m_login.superFlag = "0";
        m_login.managedDepts = managed;
    }

    const DeptNode* Find(const std::string& path, const DeptNode* from = nullptr) {
        if (from == nullptr) from = &m_logic.TreeRoot();
        if (from->path == path && from != &m_logic.TreeRoot()) return from;
        for (const auto& child : from->children) {
            if (const DeptNode* hit = Find(path, child.get())) return hit;
        }
        return nullptr;
    }

    std::vector<std::string> Texts(const DeptNode& node) {
        std::vector<std::string> texts;
        for (const auto& child : node.children) texts.push_back(child->text + "=" + child->path);
        return texts;
    }

    std::vector<std::string> Accounts() {
        std::vector<std::string> accounts;
        for (int i = 0; i < m_logic.Users().Size(); ++i) {
            accounts.push_back(m_logic.Users().At(i).Account());
        }
        return accounts;
    }

    void FillAll() {
        while (m_logic.FillNextRecord()) {
        }
    }

    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_login;
    RecordingObserver m_observer;
    MainWindowLogic m_logic{m_transport, m_sink, m_login};
};

using Strings = std::vector<std::string>;

TEST_F(MainWindowLogicTest, SuperAdministratorTreeStartsAtTheTopAndPathsGrowDownwards) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "销售部,研发部";
    m_transport.replies["GetChildDepts.asp?deptId=\\销售部"] = "华东区,华北区";
    m_transport.replies["GetChildDepts.asp?deptId=\\销售部\\华东区"] = " ";
    m_logic.ReloadDeptTree();
    EXPECT_EQ(Texts(m_logic.TreeRoot()), (Strings{"销售部=\\销售部", "研发部=\\研发部"}));

    m_logic.ClickDept(Find("\\销售部"));
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\销售部");
    EXPECT_EQ(Texts(*Find("\\销售部")),
              (Strings{"华东区=\\销售部\\华东区", "华北区=\\销售部\\华北区"}));
    m_logic.ClickDept(Find("\\销售部\\华东区"));
    EXPECT_TRUE(Find("\\销售部\\华东区")->children.empty());
    EXPECT_EQ(m_observer.expanded, (Strings{"\\销售部", "\\销售部\\华东区"}));
    EXPECT_EQ(m_transport.CountStartingWith("GetDeptUsers.asp?deptId=\\销售部\\华东区"), 1);
}

TEST_F(MainWindowLogicTest, SecondLevelTreeShowsManagedDepartmentsKeepingTheirPaths) {
    SecondLevel("\\销售部\\华东区;\\研发部;");
    m_logic.ReloadDeptTree();
    EXPECT_EQ(Texts(m_logic.TreeRoot()),
              (Strings{"销售部\\华东区=\\销售部\\华东区", "研发部=\\研发部"}));
    EXPECT_TRUE(m_transport.requests.empty());

    m_transport.replies["GetChildDepts.asp?deptId=\\销售部\\华东区"] = "上海";
    m_logic.ClickDept(Find("\\销售部\\华东区"));
    EXPECT_EQ(Texts(*Find("\\销售部\\华东区")), (Strings{"上海=\\销售部\\华东区\\上海"}));

    SecondLevel("");
    m_logic.ReloadDeptTree();
    EXPECT_TRUE(m_logic.TreeRoot().children.empty());
}

TEST_F(MainWindowLogicTest, ClickingTwiceShowsFreshChildrenOnce) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "总部";
    m_transport.queued["GetChildDepts.asp?deptId=\\总部"] = {"甲,乙", "甲,乙,丙"};
    m_logic.ReloadDeptTree();
    m_logic.ClickDept(Find("\\总部"));
    m_logic.ClickDept(Find("\\总部"));
    EXPECT_EQ(Texts(*Find("\\总部")), (Strings{"甲=\\总部\\甲", "乙=\\总部\\乙", "丙=\\总部\\丙"}));
}

TEST_F(MainWindowLogicTest, ClicksWithoutATargetClearTheCurrentDepartment) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "总部";
    m_logic.ReloadDeptTree();
    m_logic.ClickDept(Find("\\总部"));
    ASSERT_EQ(m_logic.CurrentDeptPath(), "\\总部");
    EXPECT_FALSE(m_logic.SelectDeptForMenu(nullptr));
    EXPECT_EQ(m_logic.CurrentDeptPath(), "");
    EXPECT_TRUE(m_logic.SelectDeptForMenu(Find("\\总部")));
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\总部");
    m_logic.ClickDept(nullptr);
    EXPECT_EQ(m_logic.CurrentDeptPath(), "");
}

TEST_F(MainWindowLogicTest, RefusalsAreShownInsteadOfListedAsNames) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "error:请先登录";
    m_logic.ReloadDeptTree();
    EXPECT_TRUE(m_logic.TreeRoot().children.empty());
    m_transport.replies["GetDeptUsers.asp?deptId=\\x"] = "error:处理请求失败,请检查数据后重新提交";
    m_logic.LoadDeptUsers("\\x");
    EXPECT_EQ(m_logic.Users().Size(), 0);
    EXPECT_EQ(m_sink.Texts(), (Strings{"请先登录", "处理请求失败,请检查数据后重新提交"}));
}

TEST_F(MainWindowLogicTest, AccountsAppearSortedAtOnceAndRecordsFollowOneByOne) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "wang,Li,zhao,chen";
    m_transport.fallback = [](const std::string& request) {
        std::string account = request.substr(request.find('=') + 1);
        return "name:" + account +
               "|gender:男|mobile:1|email:e|phone:2|auth:0|uin:9|position:p|level:3";
    };
    m_logic.LoadDeptUsers("\\a");
    EXPECT_EQ(Accounts(), (Strings{"chen", "Li", "wang", "zhao"}));
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 0);
    EXPECT_EQ(m_logic.PendingRecords(), 4);
    ASSERT_FALSE(m_observer.progress.empty());
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(0, 4));

    EXPECT_TRUE(m_logic.FillNextRecord());
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(1, 4));
    EXPECT_TRUE(m_logic.Users().At(0).recordLoaded);
    EXPECT_EQ(m_logic.Users().At(0).cells[kColName], "chen");
    EXPECT_FALSE(m_logic.Users().At(1).recordLoaded);

    FillAll();
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(4, 4));
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 4);
    EXPECT_EQ(m_observer.changedRows, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(m_logic.FillNextRecord());
}

TEST_F(MainWindowLogicTest, ClickingElsewhereAbandonsTheRestOfTheRecords) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "大部门,小部门";
    std::string many;
    for (int i = 0; i < 100; ++i) many += "u" + std::to_string(1000 + i) + ",";
    m_transport.replies["GetDeptUsers.asp?deptId=\\大部门"] = many;
    m_transport.replies["GetDeptUsers.asp?deptId=\\小部门"] = "solo";
    m_transport.fallback = [](const std::string&) { return "name:x"; };
    m_logic.ReloadDeptTree();
    m_logic.ClickDept(Find("\\大部门"));
    m_logic.FillNextRecord();
    m_logic.FillNextRecord();
    m_logic.ClickDept(Find("\\小部门"));
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(0, 1));
    FillAll();
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 3);
    EXPECT_EQ(Accounts(), Strings{"solo"});
    EXPECT_TRUE(m_logic.Users().At(0).recordLoaded);
}

// A record read afresh (after an edit, or a click) must not be overwritten
// by the older reply of a request that was already in flight.
TEST_F(MainWindowLogicTest, RecordsFillAWindowAtATimeAndAnOlderReplyNeverOverwritesAFreshRead) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "a,b,c,d,e";
    int asked = 0;
    m_transport.fallback = [&asked](const std::string& request) {
        return "name:" + request.substr(request.find('=') + 1) + std::to_string(++asked);
    };
    m_transport.window = 3;
    m_transport.holdReplies = true;
    m_logic.LoadDeptUsers("\\a");
    EXPECT_TRUE(m_logic.FillNextRecord());
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 3);  // a window, no more
    EXPECT_EQ(m_logic.PendingRecords(), 5);
    m_logic.FillUserRow("b", 1);
    EXPECT_EQ(m_logic.Users().At(1).cells[kColName], "b4");
    m_transport.holdReplies = false;
    FillAll();
    EXPECT_EQ(m_logic.Users().At(1).cells[kColName], "b4");
    std::vector<std::string> names;
    for (int i = 0; i < m_logic.Users().Size(); ++i)
        names.push_back(m_logic.Users().At(i).cells[kColName]);
    EXPECT_EQ(names, (Strings{"a1", "b4", "c3", "d5", "e6"}));
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(5, 5));
    EXPECT_EQ(m_transport.Posted(), 0);
}

TEST_F(MainWindowLogicTest, RecordsWaitWhileBusyAndStopWhenTheConnectionIsLost) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "a1,a2,a3";
    m_logic.LoadDeptUsers("\\a");
    m_transport.busy = true;
    EXPECT_TRUE(m_logic.FillNextRecord());
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 0);
    m_transport.busy = false;
    m_transport.connected = false;
    EXPECT_FALSE(m_logic.FillNextRecord());
    EXPECT_EQ(m_logic.PendingRecords(), 0);
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp"), 0);
}

TEST_F(MainWindowLogicTest, RecordFieldsLandInTheirColumns) {
    UserRow row;
    ApplyUserRecord(
        "name:张三|gender:女|mobile:139|email:z@x.cn|phone:010-1|auth:7|uin:10001|position:经理|"
        "level:5\r\n",
        row);
    EXPECT_EQ(row.cells, (std::array<std::string, 9>{"", "张三", "10001", "女", "139", "z@x.cn",
                                                     "010-1", "经理", "5"}));
    ApplyUserRecord("name:a:b|gender|mobile:", row);  // short reply: the rest stays empty
    EXPECT_EQ(row.cells, (std::array<std::string, 9>{"", "a:b", "", "gender", "", "", "", "", ""}));
    ApplyUserRecord("", row);
    EXPECT_EQ(row.cells[kColName], "");
}

TEST_F(MainWindowLogicTest, ClickOnAUserFillsThePanel) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "he,she,it";
    m_transport.replies["GetUserBInfo.asp?username=he"] =
        "name:他|gender:男|mobile:1|email:e|phone:2|auth:0|uin:9|position:p|level:3";
    m_transport.replies["GetUserBInfo.asp?username=she"] = "name:她|gender:女";
    m_transport.replies["GetUserBInfo.asp?username=it"] = "name:它|gender:unknown";
    m_transport.replies["GetUserRoles.asp?username=he"] = "角色甲=角色乙=";
    m_transport.replies["GetUserRoles.asp?username=she"] = "error:没有此用户";
    m_transport.replies["GetUserRoles.asp?username=it"] = " ";
    m_logic.LoadDeptUsers("\\a");

    ASSERT_TRUE(m_logic.ClickUser(0));  // "he": read at once, ahead of the queue
    EXPECT_EQ(m_logic.CurrentUserRow(), 1);
    const UserPanel& panel = m_logic.Panel();
    EXPECT_EQ(panel.account, "he");
    EXPECT_EQ(panel.name, "他");
    EXPECT_EQ(panel.gender, "男");
    EXPECT_EQ(panel.position, "p");
    EXPECT_EQ(panel.level, "3");
    EXPECT_EQ(panel.roles, "角色甲;角色乙;");
    EXPECT_EQ(m_logic.PendingRecords(), 2);

    m_logic.ClickUser(2);  // "she"
    EXPECT_EQ(m_logic.Panel().gender, "女");
    EXPECT_EQ(m_logic.Panel().roles, "");
    EXPECT_EQ(m_sink.Texts(), Strings{"没有此用户"});
    m_logic.ClickUser(1);  // "it"
    EXPECT_EQ(m_logic.Panel().gender, "女");
    EXPECT_EQ(m_logic.Panel().roles, "");

    EXPECT_FALSE(m_logic.ClickUser(-1));
    EXPECT_EQ(m_logic.CurrentUserRow(), 0);
    EXPECT_EQ(m_observer.panelChanges, 3);
}

class DeleteUserTest : public MainWindowLogicTest {
  protected:
    void SetUp() override {
        m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "u1,u2,u3";
        m_transport.fallback = [](const std::string&) { return "name:x"; };
        m_logic.LoadDeptUsers("\\a");
        FillAll();
        m_logic.ClickUser(1);
    }
};

TEST_F(DeleteUserTest, ConfirmedDeletionRemovesTheRow) {
    m_transport.replies["UserDelete.asp?username=u2"] = "info:删除用户成功";
    m_logic.DeleteCurrentUser();
    ASSERT_EQ(m_sink.questions.size(), 1u);
    EXPECT_EQ(m_sink.questions[0],
              std::make_pair(std::string("确认"), std::string("确认要删除用户[u2]么?")));
    EXPECT_EQ(Accounts(), (Strings{"u1", "u3"}));
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "删除用户成功");
    EXPECT_EQ(m_sink.shown[0].caption, "信息");
    EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(m_logic.Panel().account, "");

    // The click was used up: a second delete does nothing.
    m_logic.DeleteCurrentUser();
    EXPECT_EQ(m_sink.questions.size(), 1u);
    EXPECT_EQ(Accounts(), (Strings{"u1", "u3"}));
}

TEST_F(DeleteUserTest, UserThatNoLongerExistsCountsAsDeleted) {
    m_transport.replies["UserDelete.asp?username=u2"] = "error:用户不存在";
    m_logic.DeleteCurrentUser();
    EXPECT_EQ(Accounts(), (Strings{"u1", "u3"}));
    EXPECT_EQ(m_sink.Texts(), Strings{"删除用户成功"});
}

// A refusal used to read only "删除用户失败": the server's own words say why.
TEST_F(DeleteUserTest, OtherErrorsKeepTheRowAndShowTheServersText) {
    for (const std::string text : {"处理请求失败,请检查数据后重新提交", "没有权限执行此操作"}) {
        m_sink.shown.clear();
        m_logic.ClickUser(1);
        m_transport.replies["UserDelete.asp?username=u2"] = "error:" + text;
        m_logic.DeleteCurrentUser();
        EXPECT_EQ(Accounts(), (Strings{"u1", "u2", "u3"}));
        ASSERT_EQ(m_sink.shown.size(), 1u);
        EXPECT_EQ(m_sink.shown[0].text, text);
        EXPECT_EQ(m_sink.shown[0].caption, "错误");
        EXPECT_EQ(m_sink.shown[0].icon, MessageIcon::kError);
    }
}

TEST_F(DeleteUserTest, CancelOrNoReplyDeletesNothing) {
    m_sink.answers = {false};
    m_logic.DeleteCurrentUser();
    EXPECT_EQ(m_transport.CountStartingWith("UserDelete.asp"), 0);
    m_transport.replies["UserDelete.asp?username=u2"] = "";
    m_logic.ClickUser(1);
    m_logic.DeleteCurrentUser();  // asked, sent, but no reply came
    EXPECT_EQ(m_transport.CountStartingWith("UserDelete.asp"), 1);
    EXPECT_EQ(Accounts(), (Strings{"u1", "u2", "u3"}));
    EXPECT_TRUE(m_sink.shown.empty());
}

TEST_F(DeleteUserTest, DeletingWhileRecordsAreStillComingKeepsTheRestComing) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\b"] = "b1,b2,b3";
    m_transport.replies["UserDelete.asp?username=b3"] = "info:删除用户成功";
    m_logic.LoadDeptUsers("\\b");
    m_logic.FillNextRecord();
    m_transport.replies["GetUserRoles.asp?username=b3"] = " ";
    m_logic.ClickUser(2);
    m_logic.DeleteCurrentUser();
    FillAll();
    EXPECT_EQ(Accounts(), (Strings{"b1", "b2"}));
    EXPECT_TRUE(m_logic.Users().At(1).recordLoaded);
    EXPECT_EQ(m_observer.progress.back(), std::make_pair(3, 3));
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp?username=b3"), 1);
}

TEST_F(MainWindowLogicTest, AddedRowsKeepTheOrderAndTheCurrentRowFollowsItsUser) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "b,d";
    m_transport.replies["GetUserBInfo.asp?username=c"] = "name:丙";
    m_logic.LoadDeptUsers("\\a");
    m_logic.ClickUser(1);  // "d"
    int row = m_logic.AddUserRow("c");
    EXPECT_EQ(row, 1);
    m_logic.FillUserRow("c", row);
    EXPECT_EQ(Accounts(), (Strings{"b", "c", "d"}));
    EXPECT_EQ(m_logic.Users().At(1).cells[kColName], "丙");
    EXPECT_EQ(m_logic.CurrentUserRow(), 3);
    m_logic.SetUserCell(1, kColMobile, "138");
    m_logic.SetUserCell(1, kColAccount, "zzz");  // the account is not editable
    EXPECT_EQ(m_logic.Users().At(1).cells[kColMobile], "138");
    EXPECT_EQ(m_logic.Users().At(1).Account(), "c");
}

class DeleteDeptTest : public MainWindowLogicTest {
  protected:
    // A second-level administrator managing \研发部 right-clicks `path`.
    void ClickManaged(const std::string& path) {
        SecondLevel("\\研发部;");
        m_logic.ReloadDeptTree();
        m_transport.replies["GetChildDepts.asp?deptId=\\研发部"] = "一组";
        m_logic.ClickDept(Find("\\研发部"));
        m_logic.SelectDeptForMenu(Find(path));
    }
};

TEST_F(DeleteDeptTest, SecondLevelAdministratorCannotDeleteATopLevelDepartment) {
    ClickManaged("\\研发部");
    m_logic.DeleteCurrentDept();
    ASSERT_EQ(m_sink.questions.size(), 1u);
    EXPECT_EQ(m_sink.questions[0].second, "要删除部门[研发部]么?");
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "不能删除一级部门");
    EXPECT_EQ(m_sink.shown[0].caption, "提示");
    EXPECT_EQ(m_transport.CountStartingWith("DeptDelete.asp"), 0);
}

TEST_F(DeleteDeptTest, SecondLevelAdministratorMayDeleteBelowTheTopAndTheParentIsShown) {
    ClickManaged("\\研发部\\一组");
    m_transport.replies["DeptDelete.asp?deptid=\\研发部\\一组"] = "info:删除部门成功";
    m_transport.replies["GetChildDepts.asp?deptId=\\研发部"] = "二组";
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "wang";
    m_logic.DeleteCurrentDept();
    EXPECT_EQ(m_sink.questions[0].second, "要删除部门[研发部\\一组]么?");
    EXPECT_EQ(m_sink.Texts(), Strings{"删除部门成功"});
    EXPECT_EQ(Texts(*Find("\\研发部")), Strings{"二组=\\研发部\\二组"});
    // The list no longer shows the department that is gone, but its parent.
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\研发部");
    EXPECT_EQ(m_observer.selected.back(), "\\研发部");
    EXPECT_EQ(Accounts(), Strings{"wang"});
}

TEST_F(DeleteDeptTest, AnAssignedDepartmentIsProtectedWhateverItsDepth) {
    SecondLevel("\\研发部\\一组;");
    m_logic.ReloadDeptTree();
    m_logic.SelectDeptForMenu(Find("\\研发部\\一组"));
    EXPECT_FALSE(m_logic.MayRestructure("\\研发部\\一组"));
    EXPECT_TRUE(m_logic.MayRestructure("\\研发部\\一组\\甲"));
    m_logic.DeleteCurrentDept();
    EXPECT_EQ(m_sink.Texts(), Strings{"不能删除一级部门"});
    EXPECT_EQ(m_transport.CountStartingWith("DeptDelete.asp"), 0);
}

TEST_F(DeleteDeptTest, RefusedOrCancelledDeletionKeepsTheTree) {
    ClickManaged("\\研发部\\一组");
    m_sink.answers = {false};
    m_logic.DeleteCurrentDept();
    EXPECT_EQ(m_transport.CountStartingWith("DeptDelete.asp"), 0);
    m_transport.replies["DeptDelete.asp?deptid=\\研发部\\一组"] = "error:部门下用户不为空,不能删除";
    m_logic.DeleteCurrentDept();
    EXPECT_EQ(m_sink.Texts(), Strings{"部门下用户不为空,不能删除"});
    EXPECT_EQ(Find("\\研发部")->children.size(), 1u);
}

TEST_F(DeleteDeptTest, SuperAdministratorMayDeleteATopLevelDepartment) {
    m_transport.replies["GetChildDepts.asp?deptId="] = "临时部";
    m_logic.ReloadDeptTree();
    m_logic.SelectDeptForMenu(Find("\\临时部"));
    m_transport.replies["DeptDelete.asp?deptid=\\临时部"] = "info:删除部门成功";
    m_transport.queued["GetChildDepts.asp?deptId="] = {" "};
    m_logic.DeleteCurrentDept();
    EXPECT_TRUE(m_logic.TreeRoot().children.empty());
    m_logic.ClickDept(nullptr);  // the path is cleared and nothing is asked after it
    m_logic.DeleteCurrentDept();
    EXPECT_EQ(m_sink.questions.size(), 1u);
}

TEST_F(MainWindowLogicTest, RefreshRereadsRowAndPanelButNoReplyKeepsWhatIsShown) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "u1";
    m_transport.queued["GetUserBInfo.asp?username=u1"] = {"name:旧", "name:新", ""};
    m_transport.queued["GetUserRoles.asp?username=u1"] = {"经理=", "销售="};
    m_logic.LoadDeptUsers("\\a");
    FillAll();
    m_logic.ClickUser(0);
    EXPECT_EQ(m_logic.Panel().name, "旧");

    m_logic.RefreshUser("u1", 0);
    EXPECT_EQ(m_logic.Users().At(0).cells[kColName], "新");
    EXPECT_EQ(m_logic.Panel().name, "新");
    EXPECT_EQ(m_logic.Panel().roles, "销售;");

    m_logic.RefreshUser("u1", 0);  // no reply: not an empty record
    EXPECT_EQ(m_logic.Users().At(0).cells[kColName], "新");
}

// Adding, changing or deleting a department used to rebuild the tree from
// its top level: everything opened below collapsed.
TEST_F(MainWindowLogicTest, ChangedDepartmentsAreUpdatedInPlaceAndTheChangedOneShown) {
    std::map<std::string, std::string> children = {
        {"", "A,B"}, {"\\A", "A1,A2"}, {"\\A\\A1", "x"}, {"\\B", " "}};
    m_transport.fallback = [&](const std::string& request) -> std::string {
        const std::string query = "GetChildDepts.asp?deptId=";
        if (request.rfind(query, 0) == 0) {
            auto found = children.find(request.substr(query.size()));
            return found == children.end() ? " " : found->second;
        }
        return " ";
    };
    m_logic.ReloadDeptTree();
    m_logic.ClickDept(Find("\\A"));
    m_logic.ClickDept(Find("\\A\\A1"));
    const DeptNode* a1 = Find("\\A\\A1");
    auto step = [&](auto change) {
        m_observer.treeEvents.clear();
        change();
        return m_observer.treeEvents;
    };

    children["\\A"] = "A1,A2,A3";
    EXPECT_EQ(step([&] { m_logic.DeptAdded("\\A", "A3"); }), Strings{"+\\A:2-2"});
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\A\\A3");
    EXPECT_EQ(m_observer.selected.back(), "\\A\\A3");
    EXPECT_EQ(Find("\\A\\A1"), a1);
    EXPECT_EQ(Texts(*a1), Strings{"x=\\A\\A1\\x"});

    // Renamed where it is: the same item, what was read below it renamed too.
    children["\\A"] = "A3,Z1,A2";
    children["\\A\\Z1"] = "x";
    EXPECT_EQ(step([&] { m_logic.DeptChanged("\\A\\A1", "\\A\\Z1"); }), Strings{"\\A:2>0"});
    EXPECT_EQ(Find("\\A\\Z1"), a1);
    EXPECT_EQ(Texts(*a1), Strings{"x=\\A\\Z1\\x"});
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\A\\Z1");

    // Moved: out of its old parent, into its new one (read there for the
    // first time), and shown.
    children["\\A"] = "A3,A2";
    children["\\B"] = "Z1";
    children["\\B\\Z1"] = "x";
    EXPECT_EQ(step([&] { m_logic.DeptChanged("\\A\\Z1", "\\B\\Z1"); }),
              (Strings{"-\\A:1-1", "+\\B:0-0", "+\\B\\Z1:0-0"}));
    EXPECT_EQ(m_logic.CurrentDeptPath(), "\\B\\Z1");
    EXPECT_EQ(m_observer.expanded.back(), "\\B\\Z1");

    children["\\A"] = "A2,A3";
    EXPECT_EQ(step([&] { m_logic.DeptsReordered("\\A\\"); }), Strings{"\\A:1>0"});
    EXPECT_EQ(Texts(*Find("\\A")), (Strings{"A2=\\A\\A2", "A3=\\A\\A3"}));
}

// The super administrator took \研发部 from zhaolei while he was logged in:
// one click brought two identical refusals and left his list as it was.
TEST_F(MainWindowLogicTest, ChangedRightsAreSaidOnceAndTheTreeFollowsThem) {
    SecondLevel("\\研发部;\\销售部;");
    m_login.loginName = "zhaolei";
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "wang";
    m_transport.replies["GetChildDepts.asp?deptId=\\研发部"] = " ";
    m_transport.replies["GetUserRoles.asp?username=wang"] = " ";
    m_logic.ReloadDeptTree();
    m_logic.ClickDept(Find("\\研发部"));
    m_logic.ClickUser(0);
    ASSERT_EQ(m_logic.Panel().account, "wang");

    m_transport.replies["GetChildDepts.asp?deptId=\\研发部"] = "error:没有权限执行此操作";
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "error:没有权限执行此操作";
    m_transport.replies["QueryUserAdminDepts.asp?username=zhaolei"] = "|\\销售部;";
    m_logic.ClickDept(Find("\\研发部"));
    EXPECT_EQ(m_sink.Texts(), Strings{"您的管理权限已被超级管理员更改, 部门列表已按新的权限刷新"});
    EXPECT_EQ(m_login.managedDepts, "\\销售部;");
    EXPECT_EQ(Texts(m_logic.TreeRoot()), Strings{"销售部=\\销售部"});
    EXPECT_EQ(m_logic.Users().Size(), 0);
    EXPECT_EQ(m_logic.Panel().account, "");
    EXPECT_EQ(m_logic.CurrentDeptPath(), "");
    EXPECT_EQ(m_transport.CountStartingWith("GetDeptUsers.asp"), 1);

    // Rights as they were: a plain refusal, shown as the server worded it.
    m_sink.shown.clear();
    m_transport.replies["GetChildDepts.asp?deptId=\\销售部"] = "error:没有权限执行此操作";
    m_logic.ClickDept(Find("\\销售部"));
    EXPECT_EQ(m_sink.Texts(), Strings{"没有权限执行此操作"});

    m_sink.shown.clear();
    m_transport.replies["QueryUserAdminDepts.asp?username=zhaolei"] = " ";
    m_logic.ClickDept(Find("\\销售部"));
    EXPECT_EQ(m_sink.Texts(), Strings{"您的管理权限已被超级管理员收回"});
    EXPECT_TRUE(m_logic.TreeRoot().children.empty());
}

// A second-level administrator was offered 删除用户 on another
// administrator's account, which the server then refused.
TEST_F(MainWindowLogicTest, ProtectedAccountsAreMarkedForASecondLevelAdministratorOnly) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\a"] = "boss,staff";
    m_transport.fallback = [](const std::string& request) -> std::string {
        const std::string record =
            "|gender:男|mobile:|email:|phone:|auth:0|uin:1|position:|level:0";
        if (request == "GetUserBInfo.asp?username=boss`protected=1") {
            return "name:B" + record + "|protected:1";
        }
        if (request == "GetUserBInfo.asp?username=staff`protected=1") {
            return "name:S" + record + "|protected:0";
        }
        if (request.rfind("GetUserBInfo.asp", 0) == 0) return "name:X" + record;  // an older server
        return " ";
    };
    SecondLevel("\\a;");
    m_logic.LoadDeptUsers("\\a");
    FillAll();
    EXPECT_FALSE(m_logic.MayChangeUser(0));
    EXPECT_TRUE(m_logic.MayChangeUser(1));
    EXPECT_EQ(m_logic.Users().At(0).cells[kColName], "B");

    m_login.superFlag = "1";
    m_logic.LoadDeptUsers("\\a");
    FillAll();
    EXPECT_EQ(m_transport.CountStartingWith("GetUserBInfo.asp?username=boss`"), 1);
    EXPECT_TRUE(m_logic.MayChangeUser(0));
    EXPECT_FALSE(m_logic.MayChangeUser(2));
}

TEST(UserRowLessTest, NumbersByValueTextInChineseOrderTiesByAccount) {
    auto row = [](const char* account, const char* name, const char* level) {
        UserRow r;
        r.cells[kColAccount] = account;
        r.cells[kColName] = name;
        r.cells[kColLevel] = level;
        return r;
    };
    const UserRow a = row("a", "张三", "10"), b = row("b", "李四", "9"), c = row("c", "李四", "");
    EXPECT_TRUE(UserRowLess(b, a, kColLevel));  // 9 < 10, though "10" < "9" as text
    EXPECT_TRUE(UserRowLess(a, c, kColLevel));  // a number before no number
    EXPECT_TRUE(UserRowLess(b, a, kColName));   // 李 (li) before 张 (zhang)
    EXPECT_TRUE(UserRowLess(b, c, kColName));   // the same name: by account
    EXPECT_FALSE(UserRowLess(c, b, kColName));
    EXPECT_FALSE(UserRowLess(a, a, kColAccount));
}

TEST_F(MainWindowLogicTest, ExitNeedsConfirmation) {
    m_sink.answers = {false, true};
    EXPECT_FALSE(m_logic.ConfirmExit());
    EXPECT_TRUE(m_logic.ConfirmExit());
    EXPECT_EQ(m_sink.questions[0],
              std::make_pair(std::string("确认"), std::string("确定要退出么?")));
}

// The status bar said "TLS 加密" for whatever the login had asked for; it
// names what the transport reports, and how the certificate came to be
// trusted.
TEST(StatusTextTest, SaysWhoWhereAndWhatCarriesTheConnection) {
    const ConnectionInfo tls{WireSecurity::kTls, "TLSv1.3", "TLS_AES_128_GCM_SHA256", "AB:01",
                             true};
    ConnectionInfo accepted = tls;
    accepted.caVerified = false;
    struct Case {
        const char* superFlag;
        std::optional<ConnectionInfo> connection;
        std::string status, details;
    };
    for (const Case& c : std::vector<Case>{
             {"1", tls, "admin (超级管理员)  服务器: h:8801 (TLSv1.3 加密, 证书经系统CA验证)",
              "协议: TLSv1.3\n加密套件: TLS_AES_128_GCM_SHA256\n服务器证书指纹 (SHA-256): AB:01"},
             {"0", accepted,
              "admin (分级管理员)  服务器: h:8801 (TLSv1.3 加密, 证书已由管理员确认)",
              "协议: TLSv1.3\n加密套件: TLS_AES_128_GCM_SHA256\n服务器证书指纹 (SHA-256): AB:01"},
             {"1", ConnectionInfo{WireSecurity::kPlain, "", "", "", false},
              "admin (超级管理员)  服务器: h:8801 (明文, 未加密)",
              "请求和回复(包括密码)以明文传送"},
             {"1", std::nullopt, "admin (超级管理员)  服务器: h:8801 (未连接)", ""},
         }) {
        LoginState login;
        login.loginName = "admin";
        login.superFlag = c.superFlag;
        login.server = "h:8801";
        EXPECT_EQ(LoginStatusText(login, c.connection), "当前用户: " + c.status);
        EXPECT_EQ(ConnectionDetailsText(c.connection), c.details);
    }
}

TEST(MainLayoutTest, TreeTakesTheHeightPanelSitsAtTheBottomListTakesTheRest) {
    LayoutRect tree{5, 5, 200, 100};
    MainLayout layout = ComputeMainLayout(1000, 700, tree, 600, 150);
    EXPECT_EQ(layout.tree, (LayoutRect{5, 5, 200, 690}));
    EXPECT_EQ(layout.panel, (LayoutRect{210, 545, 600, 150}));
    EXPECT_EQ(layout.list, (LayoutRect{210, 5, 785, 535}));
    MainLayout tiny = ComputeMainLayout(50, 40, tree, 600, 150);
    EXPECT_GE(tiny.list.width, 0);
    EXPECT_GE(tiny.list.height, 0);
    EXPECT_GE(tiny.tree.height, 0);

    // At the least size the whole panel and a few list rows still fit.
    AreaSize least = MinimumMainArea(tree, 620, 150);
    MainLayout smallest = ComputeMainLayout(least.width, least.height, tree, 620, 150);
    EXPECT_LE(smallest.panel.x + smallest.panel.width, least.width - kLayoutMargin);
    EXPECT_GE(smallest.panel.y, smallest.list.y + 100);
    EXPECT_GE(smallest.list.width, 620);
}

// Who manages a department: each administrator whose departments hold it or
// an ancestor, read once until forgotten; an entry for the top level
// covers nothing.
TEST(DeptManagersTest, AnAdministratorManagesHisDepartmentsAndWhatLiesBelow) {
    FakeTransport transport;
    transport.replies["GetAdminList.asp?"] = "bob|carol|ghost|";
    transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\销售部;";
    transport.replies["QueryUserAdminDepts.asp?username=carol"] = "|\\销售部\\华东区;\\研发部;";
    transport.replies["QueryUserAdminDepts.asp?username=ghost"] = "|\\;";
    DeptManagers managers(transport);
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(managers.Of("\\销售部\\华东区\\上海"),
              (Pairs{{"bob", "\\销售部"}, {"carol", "\\销售部\\华东区"}}));
    EXPECT_EQ(managers.Of("\\研发部"), (Pairs{{"carol", "\\研发部"}}));
    EXPECT_EQ(managers.Of("\\销售部2"), Pairs{});
    EXPECT_EQ(ManagersText(*managers.Of("\\销售部")), "bob (\\销售部)");
    EXPECT_EQ(ManagersText({}), "无");
    EXPECT_EQ(transport.CountStartingWith("GetAdminList.asp"), 1);
    managers.Forget();
    transport.replies["GetAdminList.asp?"] = "error:没有权限执行此操作";
    EXPECT_EQ(managers.Of("\\研发部"), std::nullopt);
}

}  // namespace
}  // namespace warden::console::test

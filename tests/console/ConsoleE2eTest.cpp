// The console's logic against the real warden-server and its embedded
// directory, over the TLS port as the console connects by default: the
// certificate's first use, login, tree, records (a pipelined burst), a long
// reply, deletions, a lost server.
#include <gtest/gtest.h>

#include <memory>

#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/core/MainWindowLogic.h"
#include "console/core/ServerTrust.h"
#include "console/core/UserSearchLogic.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/ServerProcess.h"

namespace warden::console::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class ConsoleE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started()) << m_server.ErrorOutput();
        m_transport.SetCertificateJudge(&m_trust);
        m_setup = std::make_unique<warden::test::Client>(m_server.Port());
        ASSERT_TRUE(m_setup->LoginAsAdmin());
        for (const char* request : {
                 "DeptAdd.asp?deptid=销售部`parentdept=",
                 "DeptAdd.asp?deptid=华东区`parentdept=\\销售部",
                 "DeptAdd.asp?deptid=研发部`parentdept=",
                 "UserAdd.asp?username=zhaolei`deptname=\\销售部\\华东区|`name=赵磊`position=经理"
                 "`gender=男`mobile=13900000001`phone=021-1`email=z@x.cn`pwd=secret`roles=`level=3",
                 "UserAdd.asp?username=chenjing`deptname=\\销售部\\华东区|`name=陈静`position="
                 "`gender=女`mobile=`phone=`email=`pwd=secret`roles=`level=",
             }) {
            ASSERT_EQ(m_setup->Ask(request).value_or("<none>").rfind("info:", 0), 0u) << request;
        }
    }

    bool LogIn(const std::string& name, const std::string& password) {
        LoginLogic login(m_transport, m_sink, m_state, m_server.BaseDir());
        return login.Press({"127.0.0.1", std::to_string(m_server.TlsPort()), name, password})
            .success;
    }

    const DeptNode* Child(const DeptNode& parent, const std::string& path) {
        for (const auto& child : parent.children) {
            if (child->path == path) return child.get();
        }
        return nullptr;
    }

    warden::test::ServerProcess m_server;
    std::unique_ptr<warden::test::Client> m_setup;
    FakeSink m_sink;
    FakeTrustPrompt m_prompt;
    ServerTrust m_trust{m_server.BaseDir() / kClientConfigName, m_prompt, m_sink};
    ConsoleTransport m_transport{m_sink};
    LoginState m_state;
};

TEST_F(ConsoleE2eTest, SuperAdministratorBrowsesAndDeletes) {
    ASSERT_TRUE(LogIn("admin", "admin")) << testing::PrintToString(m_sink.Texts());
    EXPECT_TRUE(m_state.IsSuper());
    // What the console asked at the first connection is what the server's
    // own tool prints.
    warden::test::RunResult printed =
        warden::test::RunProgram(warden::test::BinaryDir() / "warden-server",
                                 {"--fingerprint", "--base-dir", m_server.BaseDir().string()});
    ASSERT_EQ(printed.exitCode, 0) << printed.errors;
    ASSERT_EQ(m_prompt.asked.size(), 1u);
    EXPECT_EQ(m_prompt.asked[0].second + "\n", printed.output);

    MainWindowLogic window(m_transport, m_sink, m_state);
    window.ReloadDeptTree();
    ASSERT_EQ(window.TreeRoot().children.size(), 2u);
    const DeptNode* sales = Child(window.TreeRoot(), "\\销售部");
    ASSERT_NE(sales, nullptr);
    window.ClickDept(sales);
    const DeptNode* east = Child(*sales, "\\销售部\\华东区");
    ASSERT_NE(east, nullptr);
    window.ClickDept(east);
    ASSERT_EQ(window.Users().Size(), 2);
    while (window.FillNextRecord()) {
    }
    const UserRow& chen = window.Users().At(0);
    const UserRow& zhao = window.Users().At(1);
    EXPECT_EQ(chen.Account(), "chenjing");
    EXPECT_EQ(zhao.cells[kColName], "赵磊");
    EXPECT_EQ(zhao.cells[kColGender], "男");
    EXPECT_EQ(zhao.cells[kColMobile], "13900000001");
    EXPECT_EQ(zhao.cells[kColPosition], "经理");
    EXPECT_EQ(zhao.cells[kColLevel], "3");
    EXPECT_FALSE(zhao.cells[kColUin].empty());
    EXPECT_EQ(chen.cells[kColGender], "女");

    window.ClickUser(1);
    EXPECT_EQ(window.Panel().account, "zhaolei");
    EXPECT_EQ(window.Panel().gender, "男");

    window.DeleteCurrentUser();
    EXPECT_EQ(m_sink.Texts(), Strings{"删除用户成功"});
    EXPECT_EQ(window.Users().Size(), 1);
    EXPECT_EQ(m_setup->Ask("GetDeptUsers.asp?deptId=\\销售部\\华东区"), "chenjing");

    // The server refuses a department that still has a sub-department.
    window.SelectDeptForMenu(sales);
    window.DeleteCurrentDept();
    EXPECT_EQ(m_sink.Texts().back(), "部门下含有子部门,不能删除");
    EXPECT_EQ(window.TreeRoot().children.size(), 2u);
    // An empty one goes, and the tree is rebuilt without it.
    window.SelectDeptForMenu(Child(window.TreeRoot(), "\\研发部"));
    window.DeleteCurrentDept();
    EXPECT_EQ(m_sink.Texts().back(), "删除部门成功");
    ASSERT_EQ(window.TreeRoot().children.size(), 1u);
    EXPECT_EQ(window.TreeRoot().children[0]->path, "\\销售部");
}

TEST_F(ConsoleE2eTest, SecondLevelAdministratorSeesOnlyHisDepartments) {
    EXPECT_FALSE(LogIn("zhaolei", "secret"));  // no departments saved for him yet
    EXPECT_EQ(m_sink.Texts(), Strings{"您没有管理员权限"});
    ASSERT_EQ(m_setup->Ask("SaveAdminDepts.asp?username=zhaolei`pwd=`depts=\\销售部\\华东区;"
                           "`adminroles="),
              "info:管理员设置成功");
    ASSERT_TRUE(LogIn("zhaolei", "secret"));
    EXPECT_FALSE(m_state.IsSuper());
    MainWindowLogic window(m_transport, m_sink, m_state);
    window.ReloadDeptTree();
    ASSERT_EQ(window.TreeRoot().children.size(), 1u);
    EXPECT_EQ(window.TreeRoot().children[0]->text, "销售部\\华东区");
    window.ClickDept(window.TreeRoot().children[0].get());
    EXPECT_EQ(window.Users().Size(), 2);

    EXPECT_FALSE(LogIn("zhaolei", "wrong"));
    EXPECT_EQ(m_sink.Texts().back(), "用户或密码错误");
    EXPECT_EQ(m_prompt.asked.size(), 1u);  // trusted at the first login, not asked again
}

// Over TLS a reply is whole at its last byte however long it is, and
// requests in flight together are answered in the order sent: the burst's
// replies are those of the same requests asked one by one.
TEST_F(ConsoleE2eTest, LongReplyAndPipelinedBurstComeWholeAndInOrder) {
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string name = "部门" + std::to_string(100 + i) + std::string(40, 'x');
        ASSERT_EQ(m_setup->Ask("DeptAdd.asp?deptid=" + name + "`parentdept=\\研发部")
                      .value_or("")
                      .rfind("info:", 0),
                  0u);
        expected += (expected.empty() ? "" : ",") + name;
    }
    ASSERT_TRUE(LogIn("admin", "admin"));
    std::string children = m_transport.SendRequest("GetChildDepts.asp", "deptId=\\研发部");
    EXPECT_GT(children.size(), 1024u);  // longer than a piece of the plain port
    EXPECT_EQ(children, m_setup->Ask("GetChildDepts.asp?deptId=\\研发部"));

    const std::vector<std::string> burst = {
        "GetUserBInfo.asp?username=zhaolei",        "GetChildDepts.asp?deptId=",
        "GetUserBInfo.asp?username=chenjing",       "NoSuchRequest.asp?x=1",
        "GetDeptUsers.asp?deptId=\\销售部\\华东区", "GetUserBInfo.asp?username=nobody"};
    ASSERT_GE(m_transport.PipelineWindow(), static_cast<int>(burst.size()));
    for (int round = 0; round < 3; ++round) {
        for (const std::string& request : burst) {
            size_t mark = request.find('?');
            ASSERT_TRUE(m_transport.PostRequest(request.substr(0, mark), request.substr(mark + 1)));
        }
        for (const std::string& request : burst) {
            std::optional<std::string> reply = m_transport.TakeReply(30'000);
            ASSERT_TRUE(reply) << request;
            // The plain port leaves an unknown name unanswered; TLS says so
            // with an empty frame, which keeps the rest in step.
            if (request.rfind("NoSuchRequest", 0) == 0) {
                EXPECT_EQ(*reply, "");
            } else {
                EXPECT_EQ(*reply, m_setup->Ask(request).value_or("<none>")) << request;
            }
        }
    }
    EXPECT_TRUE(m_sink.shown.empty()) << testing::PrintToString(m_sink.Texts());
}

TEST_F(ConsoleE2eTest, StoppedServerIsReportedOnceAndAtOnce) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    MainWindowLogic window(m_transport, m_sink, m_state);
    window.ReloadDeptTree();
    ASSERT_EQ(window.TreeRoot().children.size(), 2u);
    m_server.Stop();
    auto start = std::chrono::steady_clock::now();
    window.ClickDept(window.TreeRoot().children[0].get());
    window.ReloadDeptTree();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(m_sink.Texts(), Strings{"与服务器的连接已断开"});
    EXPECT_FALSE(m_transport.Connected());
}

// The search box's search against the real server, and a user found there
// opened in the tree with his row current, as Enter in the box does.
TEST_F(ConsoleE2eTest, SearchFindsAUserAndRevealOpensHisDepartment) {
    ASSERT_TRUE(LogIn("admin", "admin"));
    UserSearchLogic search(m_transport);
    EXPECT_FALSE(search.Search(" 赵 "));
    EXPECT_EQ(search.Note(), "至少输入2个字符");
    EXPECT_FALSE(search.Search("a`b"));
    EXPECT_TRUE(search.Search("Z@X"));
    ASSERT_EQ(search.Hits().size(), 1u);
    EXPECT_EQ(search.Hits()[0], (UserHit{"zhaolei", "赵磊", {"\\销售部\\华东区"}}));
    EXPECT_EQ(search.Note(), "找到1个用户");
    EXPECT_TRUE(search.Search("没有这个人"));
    EXPECT_TRUE(search.Hits().empty());
    EXPECT_EQ(search.Note(), "没有找到用户");

    MainWindowLogic window(m_transport, m_sink, m_state);
    window.ReloadDeptTree();
    const DeptNode* node = window.RevealUser("\\销售部\\华东区", "ZHAOLEI");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->path, "\\销售部\\华东区");
    EXPECT_EQ(window.CurrentDeptPath(), "\\销售部\\华东区");
    ASSERT_NE(window.CurrentUserRow(), 0);
    EXPECT_EQ(window.Users().At(window.CurrentUserRow() - 1).Account(), "zhaolei");
    EXPECT_EQ(window.RevealUser("\\没有\\这个部门", "zhaolei"), nullptr);
    EXPECT_TRUE(m_sink.shown.empty()) << testing::PrintToString(m_sink.Texts());
}

}  // namespace
}  // namespace warden::console::test

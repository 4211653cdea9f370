// Export and import of users against the real warden-server and its
// embedded directory, over TCP in GBK, as the console's dialogs run them.
#include <gtest/gtest.h>

#include <memory>

#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/dialogs/CsvText.h"
#include "console/dialogs/UserExportLogic.h"
#include "console/dialogs/UserImportLogic.h"
#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/ServerProcess.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

// \销售部 with \华东区 and its \上海, and \研发部; roles 经理 and 客服. bob
// administers \销售部\华东区 and may hand out 经理.
const Strings kSetup = {
    "DeptAdd.asp?deptid=销售部`parentdept=",
    "DeptAdd.asp?deptid=华东区`parentdept=\\销售部",
    "DeptAdd.asp?deptid=上海`parentdept=\\销售部\\华东区",
    "DeptAdd.asp?deptid=研发部`parentdept=",
    "RoleAdmin.asp?op=add`name=经理`desc=`rightInfo=RIGHT_INNER_SEND_SMS|0|1",
    "RoleAdmin.asp?op=add`name=客服`desc=`rightInfo=RIGHT_INNER_SEND_SMS|0|1",
    "UserAdd.asp?username=bob`deptname=\\销售部\\华东区|`pwd=pw-bob`roles=",
    "SaveAdminDepts.asp?username=bob`pwd=`depts=\\销售部\\华东区;`adminroles=经理|",
};

class BulkE2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Started()) << m_server.ErrorOutput();
        m_setup = std::make_unique<warden::test::Client>(m_server.Port());
        ASSERT_TRUE(m_setup->LoginAsAdmin());
        for (const std::string& request : kSetup) {
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

    std::string Export(const std::string& dept) {
        UserExportLogic logic(m_transport, m_sink, dept);
        logic.Start(true);
        while (logic.Step()) {
        }
        EXPECT_EQ(logic.Phase(), ExportPhase::kDone) << testing::PrintToString(m_sink.Texts());
        return logic.Csv();
    }

    // Checks and runs the whole file; returns each row as "account state: note".
    Strings Import(const std::string& bytes, TextEncoding encoding) {
        UserImportLogic logic(m_transport, m_sink, m_state);
        EXPECT_TRUE(logic.LoadBytes(bytes)) << testing::PrintToString(m_sink.Texts());
        EXPECT_EQ(logic.Encoding(), encoding);
        while (logic.Step()) {
        }
        logic.Start(ExistingAccounts::kUpdate);
        while (logic.Step()) {
        }
        EXPECT_EQ(logic.Phase(), ImportPhase::kDone);
        Strings marks;
        for (const ImportRow& row : logic.Rows()) {
            marks.push_back(row.user.account + " " + ImportStateLabel(row.state) + ": " + row.note);
        }
        return marks;
    }

    warden::test::ServerProcess m_server;
    std::unique_ptr<warden::test::Client> m_setup;
    FakeSink m_sink;
    ConsoleTransport m_transport{m_sink};
    LoginState m_state;
};

// Exported, imported into a directory without those users (from the file
// as written and from the same file saved as GBK), exported again: the same
// file each time.
TEST_F(BulkE2eTest, ExportImportExportGivesTheSameFile) {
    for (const char* request : {
             "UserAdd.asp?username=zhang`deptname=\\销售部\\华东区|\\研发部|`name=张, 三"
             "`position=说 \"经理\"`gender=男`mobile=+86 138`phone=-021`email=z@x.cn"
             "`roles=经理;客服;`level=3",
             "UserAdd.asp?username=li`deptname=\\销售部\\华东区\\上海|`name==HYPERLINK(\"x\")"
             "`position=两行\n职务`gender=女`mobile=@1`roles=",
             "UserAdd.asp?username=outsider`deptname=\\研发部|`name=外人`roles=",
         }) {
        ASSERT_EQ(Ask(request).rfind("info:", 0), 0u) << request;
    }
    ASSERT_TRUE(LogIn("admin", "admin"));
    const std::string first = Export("\\销售部");
    EXPECT_EQ(first,
              "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色\r\n"
              "bob,,男,,,,,\\销售部\\华东区,\r\n"
              "li,\"'=HYPERLINK(\"\"x\"\")\",女,\"两行\n职务\",'@1,,,\\销售部\\华东区\\上海,\r\n"
              "zhang,\"张, 三\",男,\"说 \"\"经理\"\"\",'+86 138,'-021,z@x.cn,"
              "\\销售部\\华东区;\\研发部,经理;客服\r\n");

    for (const std::string& bytes : {kUtf8Bom + first, *Utf8ToGbk(first)}) {
        for (const char* user : {"li", "zhang"}) {
            ASSERT_EQ(Ask(std::string("UserDelete.asp?username=") + user), "info:删除用户成功");
        }
        const bool gbk = !bytes.starts_with(kUtf8Bom);
        EXPECT_EQ(Import(bytes, gbk ? TextEncoding::kGbk : TextEncoding::kUtf8),
                  (Strings{"bob 已更新: 修改用户信息成功", "li 已添加: 添加用户成功",
                           "zhang 已添加: 添加用户成功"}));
        EXPECT_EQ(Export("\\销售部"), first) << (gbk ? "GBK" : "UTF-8");
    }
    EXPECT_TRUE(m_sink.shown.empty()) << testing::PrintToString(m_sink.Texts());
}

// bob's rows outside his departments or with a role he may not hand out are
// marked before anything is sent; those the server refuses (an account he
// may not touch, an account that exists outside his departments) are refused
// one by one, and every other row is added.
TEST_F(BulkE2eTest, SecondLevelImportIsRefusedRowByRowOutsideHisScope) {
    ASSERT_EQ(Ask("UserAdd.asp?username=zhang`deptname=\\研发部|`name=张三`roles="),
              "info:添加用户成功");
    ASSERT_TRUE(LogIn("bob", "pw-bob"));
    const Strings marks = Import(
        "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色,密码\n"
        "n1,一号,男,,,,,\\销售部\\华东区,经理,pw-n1\n"
        "n2,二号,,,,,,\\研发部,,\n"
        "n3,三号,,,,,,\\销售部\\华东区,客服,\n"
        "admin,,,,,,,\\销售部\\华东区,,\n"
        "zhang,张三,,,,,,\\销售部\\华东区,,\n"
        "n4,四号,,,,,,\\销售部\\华东区\\上海,,\n",
        TextEncoding::kUtf8);
    EXPECT_EQ(marks, (Strings{
                         "n1 已添加: 添加用户成功",
                         "n2 有错误: 部门不在您的管理范围内: \\研发部",
                         "n3 有错误: 您不能授予角色: 客服",
                         "admin 被拒绝: 没有权限执行此操作",
                         "zhang 被拒绝: 用户已经存在",
                         "n4 已添加: 添加用户成功",
                     }));
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部\\华东区"), "bob,n1");
    EXPECT_EQ(Ask("GetDeptUsers.asp?deptId=\\销售部\\华东区\\上海"), "n4");
    EXPECT_EQ(Ask("GetUserRoles.asp?username=n1"), "User=经理");
    EXPECT_EQ(Ask("CheckUserExist.asp?username=n3"), "error:n3不存在,管理员须为VEX用户");
    EXPECT_EQ(Ask("GetUserDepts.asp?username=zhang"), "研发部");
    warden::test::Client n1(m_server.Port());
    EXPECT_EQ(n1.Ask("LoginCheck.asp?username=n1`password=pw-n1`ver=1.5"), "success|0");
}

}  // namespace
}  // namespace warden::console::test

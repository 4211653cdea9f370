#include <gtest/gtest.h>

#include "console/dialogs/CsvText.h"
#include "console/dialogs/UserExportLogic.h"
#include "console/dialogs/UserImportLogic.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;
using enum ImportState;

const std::string kHeader = "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色\n";

// A directory with \销售部\华东区 and \研发部, where "zhang" exists; the
// server refuses anything for "boss".
class UserImportLogicTest : public ::testing::Test {
  protected:
    UserImportLogicTest() {
        login.loginName = "admin";
        login.superFlag = "1";
        transport.fallback = [this](const std::string& request) { return Serve(request); };
    }

    std::string Serve(const std::string& request) {
        static const std::map<std::string, std::string> kFixed = {
            {"GetChildDepts.asp?deptId=\\销售部\\华东区", " "},
            {"GetChildDepts.asp?deptId=\\研发部", "一组"},
            {"GetUserDepts.asp?username=zhang", "销售部\\华东区,研发部"},
            {"GetAllRoles.asp?", "=User=管理员=客服=经理"},
            {"Get2NdAdminRoles.asp?username=bob", "经理|"},
        };
        if (auto found = kFixed.find(request); found != kFixed.end()) return found->second;
        if (request.starts_with("UserAdd.asp?")) {
            if (request.find("username=boss`") != std::string::npos) {
                return "error:没有权限执行此操作";
            }
            return request.starts_with("UserAdd.asp?op=update`") ? "info:修改用户信息成功"
                                                                   : "info:添加用户成功";
        }
        return "error:处理请求失败,请检查数据后重新提交";
    }

    void LoadAndCheck(const std::string& rows) {
        ASSERT_TRUE(logic.LoadBytes(kHeader + rows)) << testing::PrintToString(sink.Texts());
        while (logic.Step()) {
        }
        ASSERT_EQ(logic.Phase(), ImportPhase::kReady);
    }

    void Run(ExistingAccounts existing) {
        logic.Start(existing);
        while (logic.Step()) {
        }
        EXPECT_EQ(logic.Phase(), ImportPhase::kDone);
    }

    // Each row as "line account state: note".
    Strings Marks() const {
        Strings marks;
        for (const ImportRow& row : logic.Rows()) {
            marks.push_back(std::to_string(row.line) + " " + row.user.account + " " +
                            ImportStateLabel(row.state) + (row.note.empty() ? "" : ": ") +
                            row.note);
        }
        return marks;
    }

    LoginState login;
    FakeTransport transport;
    FakeSink sink;
    UserImportLogic logic{transport, sink, login};
};

// The preview asks the server only about departments (each once) and the
// accounts of rows that are otherwise sound; the import sends one request
// per row, a refused row stops nothing, and the report keeps every answer.
TEST_F(UserImportLogicTest, PreviewMarksEveryRowAndTheImportGoesOnPastRefusals) {
    LoadAndCheck(
        "wang,王五,男,经理,+86 138,021-1,w@x.cn,\\销售部\\华东区,客服\n"
        "zhang,张三,女,,,,,\\销售部\\华东区;研发部,\n"
        ",无名,,,,,,\\研发部,\n"
        "li,李四,,,,,,,\n"
        "a;b,,,,,,,\\研发部,\n"
        "zhao,赵`六,,,,,,\\研发部,\n"
        "qian,,,,123456789012345678901234567890123,,,\\研发部,\n"
        "sun,\xF0\x9F\x98\x80,,,,,,\\研发部,\n"
        "zhou,,M,,,,,\\研发部,\n"
        "wu,,,,,,,\\不存在,\n"
        "Dup,,,,,,,\\研发部,\n"
        "dup,,,,,,,\\研发部,\n"
        "boss,,,,,,,\\研发部,\n"
        "chen,陈七,,,,,,\\研发部,经理;User\n"
        "too,many,,,,,,\\研发部,,x\n"
        "ma,,,,,,,\\研发部,总监\n");
    EXPECT_EQ(Marks(), (Strings{
                           "2 wang 新增",
                           "3 zhang 已存在",
                           "4  有错误: 缺少帐号",
                           "5 li 有错误: 缺少部门",
                           "6 a;b 有错误: 帐号不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符",
                           "7 zhao 有错误: 姓名不能含有以下字符: ` ?",
                           "8 qian 有错误: 手机不能超过32个字符",
                           "9 sun 有错误: 姓名含有无法发送的字符(不在GBK字符集中)",
                           "10 zhou 有错误: 性别只能是 男 或 女",
                           "11 wu 有错误: 部门不存在: \\不存在",
                           "12 Dup 有错误: 帐号在文件中出现多次: 第 12, 13 行",
                           "13 dup 有错误: 帐号在文件中出现多次: 第 12, 13 行",
                           "14 boss 新增",
                           "15 chen 新增",
                           "16  有错误: 有10列, 应为9列",
                           "17 ma 有错误: 角色不存在: 总监",
                       }));
    EXPECT_EQ(transport.CountStartingWith("GetChildDepts.asp"), 3);
    EXPECT_EQ(transport.CountStartingWith("GetUserDepts.asp"), 5);
    EXPECT_EQ(transport.CountStartingWith("UserAdd.asp"), 0);
    EXPECT_EQ(logic.Encoding(), TextEncoding::kUtf8);

    transport.requests.clear();
    Run(ExistingAccounts::kUpdate);
    EXPECT_EQ(transport.requests,
              (Strings{
                  "UserAdd.asp?username=wang`deptname=\\销售部\\华东区|`name=王五`position=经理"
                  "`gender=男`mobile=+86 138`phone=021-1`email=w@x.cn`pwd=`roles=客服;`level=",
                  "UserAdd.asp?op=update`username=zhang`deptname=\\销售部\\华东区|\\研发部|"
                  "`newdeptname=销售部\\华东区,研发部`name=张三`position=`gender=女`mobile="
                  "`phone=`email=`pwd=`roles=`level=",
                  "UserAdd.asp?username=boss`deptname=\\研发部|`name=`position=`gender=`mobile="
                  "`phone=`email=`pwd=`roles=`level=",
                  "UserAdd.asp?username=chen`deptname=\\研发部|`name=陈七`position=`gender="
                  "`mobile=`phone=`email=`pwd=`roles=经理;`level=",
              }));
    const Strings marks = Marks();
    EXPECT_EQ(marks[0], "2 wang 已添加: 添加用户成功");
    EXPECT_EQ(marks[1], "3 zhang 已更新: 修改用户信息成功");
    EXPECT_EQ(marks[12], "14 boss 被拒绝: 没有权限执行此操作");
    EXPECT_EQ(marks[13], "15 chen 已添加: 添加用户成功");
    EXPECT_EQ(logic.Summary(), "共 16 行: 已添加 2, 已更新 1, 被拒绝 1, 有错误 12");
    EXPECT_TRUE(sink.shown.empty());

    const std::string report = logic.ReportCsv();
    EXPECT_TRUE(report.starts_with("行,帐号,姓名,结果,说明\r\n2,wang,王五,已添加,添加用户成功\r\n"))
        << report;
    EXPECT_NE(report.find("\r\n14,boss,,被拒绝,没有权限执行此操作\r\n"), std::string::npos);
}

TEST_F(UserImportLogicTest, SecondLevelScopeAndSkippedAccounts) {
    login.superFlag = "0";
    login.loginName = "bob";
    login.managedDepts = "\\销售部\\华东区;";
    // A role he may not give: kept by an existing user, refused for a new one.
    LoadAndCheck(
        "zhang,张三,,,,,,\\销售部\\华东区,客服\n"
        "wang,王五,,,,,,\\销售部\\华东区;\\研发部,\n"
        "li,李四,,,,,,\\销售部\\华东区\\,经理\n"
        "zhao,赵六,,,,,,\\销售部\\华东区,客服\n");
    EXPECT_EQ(Marks(), (Strings{"2 zhang 已存在", "3 wang 有错误: 部门不在您的管理范围内: \\研发部",
                                "4 li 新增", "5 zhao 有错误: 您不能授予角色: 客服"}));
    EXPECT_EQ(transport.CountStartingWith("GetChildDepts.asp?deptId=\\研发部"), 0);
    Run(ExistingAccounts::kSkip);
    EXPECT_EQ(Marks(), (Strings{"2 zhang 已跳过", "3 wang 有错误: 部门不在您的管理范围内: \\研发部",
                                "4 li 已添加: 添加用户成功", "5 zhao 有错误: 您不能授予角色: 客服"}));
    EXPECT_EQ(transport.CountStartingWith("UserAdd.asp"), 1);
}

TEST_F(UserImportLogicTest, CancelALostConnectionOrNoReplyLeaveTheRestUnsent) {
    const std::string rows =
        "a1,,,,,,,\\研发部,\n"
        "a2,,,,,,,\\研发部,\n"
        "a3,,,,,,,\\研发部,\n";
    LoadAndCheck(rows);
    logic.Start(ExistingAccounts::kSkip);
    EXPECT_TRUE(logic.Step());
    logic.Cancel();
    EXPECT_FALSE(logic.Step());
    EXPECT_EQ(Marks(), (Strings{"2 a1 已添加: 添加用户成功", "3 a2 未执行: 已取消",
                                "4 a3 未执行: 已取消"}));

    // The second request goes out and no reply comes: it may have been made.
    LoadAndCheck(rows);
    transport.onSend = [this](const std::string& request) {
        if (request.find("username=a2`") != std::string::npos) transport.connected = false;
    };
    transport.fallback = [this](const std::string& request) {
        return transport.connected ? Serve(request) : std::string();
    };
    Run(ExistingAccounts::kSkip);
    EXPECT_EQ(Marks(), (Strings{"2 a1 已添加: 添加用户成功",
                                "3 a2 结果未知: 没有收到服务器的回复, 不知道是否已经生效",
                                "4 a3 未执行: 与服务器的连接已断开"}));

    // Connected, but the check of a2 waits in vain: nothing further is asked.
    transport.connected = true;
    transport.onSend = nullptr;
    transport.replies["GetUserDepts.asp?username=a2"] = "";
    transport.requests.clear();
    ASSERT_TRUE(logic.LoadBytes(kHeader + rows));
    while (logic.Step()) {
    }
    EXPECT_EQ(Marks(), (Strings{"2 a1 新增", "3 a2 未执行: 服务器没有回复, 已停止",
                                "4 a3 未执行: 服务器没有回复, 已停止"}));
    EXPECT_EQ(transport.CountStartingWith("GetUserDepts.asp?username=a3"), 0);
}

TEST_F(UserImportLogicTest, UnreadableFilesAreRefusedBeforeAnyRequest) {
    EXPECT_FALSE(logic.LoadBytes(kHeader));
    EXPECT_FALSE(logic.LoadBytes("name\nx\n"));
    EXPECT_EQ(sink.Texts(), (Strings{"无法导入: 文件中没有用户",
                                     "无法导入: 缺少列: 帐号, 性别, 职务, 手机, 电话, 邮件, 部门, 角色"}));
    EXPECT_FALSE(logic.Load("/nonexistent/users.csv"));
    EXPECT_EQ(sink.shown.back().text, "无法读取文件: /nonexistent/users.csv");
    EXPECT_TRUE(transport.requests.empty());
}

TEST(ImportProgressTextTest, SaysWhatIsLeftAndWhatPasswordsCost) {
    const struct {
        ImportProgress progress;
        const char* text;
    } cases[] = {
        {{0, 10, 0, 0.2, {}, {}}, "0 / 10 行, 用时 0:00, 预计时间计算中"},
        {{4, 10, 6, 1.0, {}, {}},
         "4 / 10 行, 用时 0:01, 预计时间计算中; 含密码的行较慢: 服务器要为每个密码计算散列"},
        {{5, 10, 5, 61.0, 125.4, 0.25},
         "5 / 10 行, 用时 1:01, 预计还需 2:05; 服务器为每个密码计算散列, 每行约 0.25 秒"},
        {{10, 10, 0, 3700, {}, {}}, "10 / 10 行, 用时 1:01:40"},
    };
    for (const auto& c : cases) EXPECT_EQ(ImportProgressText(c.progress), c.text);
}

// A record refused mid-export (his rights changed) was counted as a user
// deleted meanwhile, and the file passed for the whole department; one
// that is really gone still is.
TEST(UserExportLogicTest, ARefusedRecordStopsTheExportAGoneOneIsSkipped) {
    for (const auto& [record, phase, gone] : std::vector<std::tuple<std::string, ExportPhase, int>>{
             {"error:没有权限执行此操作", ExportPhase::kStopped, 0},
             {"error:用户不存在", ExportPhase::kDone, 1}}) {
        FakeTransport transport;
        FakeSink sink;
        transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "li";
        transport.replies["GetUserBInfo.asp?username=li"] = record;
        UserExportLogic logic(transport, sink, "\\研发部");
        logic.Start(false);
        for (int steps = 0; steps < 10 && logic.Step();) ++steps;
        EXPECT_EQ(logic.Phase(), phase) << record;
        EXPECT_EQ(logic.UsersGone(), gone) << record;
        EXPECT_EQ(sink.Texts(),
                  phase == ExportPhase::kStopped ? Strings{"没有权限执行此操作"} : Strings{})
            << record;
    }
}

}  // namespace
}  // namespace warden::console::test

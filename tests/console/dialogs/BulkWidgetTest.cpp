// The import and export windows' Qt wiring on the offscreen platform: the
// steps run from the event loop, buttons follow the phase, files are written.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <fstream>
#include <sstream>

#include "console/dialogs/UserExportDialog.h"
#include "console/dialogs/UserImportDialog.h"
#include "tests/console/QtWidgetTestSupport.h"
#include "tests/console/dialogs/DialogFixture.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using BulkWidgetTest = DialogFixture;

std::string ReadFile(const std::filesystem::path& file) {
    std::stringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

QString PathText(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

TEST_F(BulkWidgetTest, ImportChecksThenUpdatesOnRequestAndSavesTheReport) {
    warden::test::TempDir dir;
    std::ofstream(dir.Path() / "in.csv") << "帐号,姓名,性别,职务,手机,电话,邮件,部门,角色\n"
                                            "zhang,张三,,,,,,\\研发部,\n"
                                            "wang,王五,,,,,,\\研发部\\一组,\n"
                                            ",,,,,,,\\研发部,\n";
    m_transport.replies["GetAllRoles.asp?"] = "=User=管理员";
    m_transport.replies["GetUserDepts.asp?username=zhang"] = "研发部";
    m_transport.replies["GetUserDepts.asp?username=wang"] = "error:没有权限执行此操作";
    m_transport.fallback = [this](const std::string& request) -> std::string {
        if (request.starts_with("UserAdd.asp?op=update`username=zhang`")) return "info:修改用户信息成功";
        if (request.starts_with("UserAdd.asp?username=wang`")) return "info:添加用户成功";
        return Answer(request);
    };
    UserImportLogic logic(m_transport, m_sink, m_login);
    UserImportDialog dialog(logic);
    dialog.askImportFile = [&] { return PathText(dir.Path() / "in.csv"); };
    dialog.askReportFile = [&] { return PathText(dir.Path() / "report.csv"); };
    ASSERT_TRUE(dialog.ChooseFile());
    dialog.show();
    auto* start = Child<QPushButton>(dialog, "start");
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Phase() == ImportPhase::kReady; }));
    EXPECT_EQ(Child<QLabel>(dialog, "file")->text(), Q("in.csv  (编码: UTF-8)"));
    EXPECT_EQ(Child<QLabel>(dialog, "summary")->text(),
              Q("共 3 行: 新增 1, 已存在 1, 有错误 1  (有错误的行不会导入)"));
    EXPECT_TRUE(start->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "report")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(dialog, "skipExisting")->isChecked());

    Child<QRadioButton>(dialog, "updateExisting")->setChecked(true);
    QTest::mouseClick(start, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Phase() == ImportPhase::kDone; }));
    QCoreApplication::processEvents();
    auto* rows = Child<QTreeView>(dialog, "rows");
    EXPECT_EQ(rows->model()->index(0, 1).data().toString(), Q("已更新"));
    EXPECT_EQ(rows->model()->index(1, 6).data().toString(), Q("添加用户成功"));
    EXPECT_FALSE(start->isEnabled());
    QTest::mouseClick(Child<QPushButton>(dialog, "report"), Qt::LeftButton);
    EXPECT_EQ(ReadFile(dir.Path() / "report.csv"),
              "\xEF\xBB\xBF行,帐号,姓名,结果,说明\r\n2,zhang,张三,已更新,修改用户信息成功\r\n"
              "3,wang,王五,已添加,添加用户成功\r\n4,,,有错误,缺少帐号\r\n");
}

TEST_F(BulkWidgetTest, ExportWritesTheFileAndCancelWritesNothing) {
    warden::test::TempDir dir;
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "zhang";
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部\\一组"] = "zhang";
    m_transport.replies["GetUserBInfo.asp?username=zhang"] =
        "name:张三|gender:男|mobile:|email:|phone:|auth:0|uin:1|position:|level:0";
    m_transport.replies["GetUserDepts.asp?username=zhang"] = "研发部,研发部\\一组";
    m_transport.replies["GetUserRoles.asp?username=zhang"] = "User";
    UserExportLogic logic(m_transport, m_sink, "\\研发部");
    UserExportDialog dialog(logic);
    QString target = PathText(dir.Path() / "out.csv");
    dialog.askFile = [&] { return target; };
    dialog.show();
    QTest::mouseClick(Child<QPushButton>(dialog, "start"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return logic.Phase() == ExportPhase::kDone; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ReadFile(dir.Path() / "out.csv"),
              "\xEF\xBB\xBF帐号,姓名,性别,职务,手机,电话,邮件,部门,角色\r\n"
              "zhang,张三,男,,,,,\\研发部;\\研发部\\一组,\r\n");
    EXPECT_EQ(Child<QLabel>(dialog, "status")->text(), Q("已导出 1 个用户到 ") + target);

    // Closing while it runs stops it; no file is written.
    m_transport.busy = true;  // the steps wait, as for a slow reply
    target = PathText(dir.Path() / "cancelled.csv");
    QTest::mouseClick(Child<QPushButton>(dialog, "start"), Qt::LeftButton);
    QTest::mouseClick(Child<QPushButton>(dialog, "close"), Qt::LeftButton);
    EXPECT_EQ(logic.Phase(), ExportPhase::kStopped);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(Child<QLabel>(dialog, "status")->text(), Q("导出已停止, 没有写入文件"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "cancelled.csv"));
}

}  // namespace
}  // namespace warden::console::test

// The wiring of the Qt classes to the console logic, on the offscreen
// platform: boxes, key filter, menus, clicks, progress and closing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <map>

#include <unistd.h>

#include "console/core/LoginDialog.h"
#include "console/core/MainWindow.h"
#include "console/core/QtTranslations.h"
#include "console/core/QtTrustPrompt.h"
#include "console/core/UserSearchBox.h"
#include "tests/console/FakeTransport.h"
#include "tests/console/QtWidgetTestSupport.h"

namespace warden::console::test {
namespace {

namespace fs = std::filesystem;

class LoginDialogWidgetTest : public ::testing::Test {
  protected:
    LoginDialogWidgetTest() {
        m_dir = fs::temp_directory_path() / ("warden-logindlg-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    ~LoginDialogWidgetTest() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_state;
};

TEST_F(LoginDialogWidgetTest, PortBoxTakesOnlyMainKeyboardDigitsAndEditingKeys) {
    LoginLogic logic(m_transport, m_sink, m_state, m_dir);
    LoginDialog dialog(logic);
    dialog.show();
    auto* port = Child<QLineEdit>(dialog, "port");
    EXPECT_EQ(port->text(), "8801");
    port->setFocus();
    port->end(false);
    QTest::keyClick(port, Qt::Key_Backspace);
    QTest::keyClick(port, Qt::Key_Backspace);
    QTest::keyClicks(port, "a0-0 x");
    QTest::keyClick(port, Qt::Key_5, Qt::KeypadModifier);
    QTest::keyClick(port, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(port->text(), "8800");
    QTest::keyClick(port, Qt::Key_Left);
    QTest::keyClick(port, Qt::Key_Delete);
    EXPECT_EQ(port->text(), "880");
}

TEST_F(LoginDialogWidgetTest, SavedServerFillsTheBoxesAndAFailedCheckMovesTheFocus) {
    std::ofstream(m_dir / "client.cfg") << "10.0.0.8:9000";
    LoginLogic logic(m_transport, m_sink, m_state, m_dir);
    LoginDialog dialog(logic);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    auto* name = Child<QLineEdit>(dialog, "loginName");
    EXPECT_EQ(Child<QLineEdit>(dialog, "address")->text(), "10.0.0.8");
    EXPECT_EQ(Child<QLineEdit>(dialog, "port")->text(), "9000");
    EXPECT_TRUE(QTest::qWaitFor([&] { return name->hasFocus(); }, 1000));

    name->setText("admin");
    QTest::mouseClick(Child<QPushButton>(dialog, "loginButton"), Qt::LeftButton);
    ASSERT_EQ(m_sink.shown.size(), 1u);
    EXPECT_EQ(m_sink.shown[0].text, "密码不能为空");
    EXPECT_TRUE(Child<QLineEdit>(dialog, "password")->hasFocus());
    EXPECT_TRUE(dialog.isVisible());

    // The address box takes host names, and nothing that none could hold.
    auto* address = Child<QLineEdit>(dialog, "address");
    address->clear();
    Type(address, Q("warden-1.example.com主机 _"));
    EXPECT_EQ(address->text(), "warden-1.example.com");
    address->setText("10.0.0.8");

    m_transport.replies["LoginCheck.asp?username=admin`password=secret`ver=1.5"] = "success|1";
    m_transport.replies["QueryUserAdminDepts.asp?username=admin"] = " ";
    Child<QLineEdit>(dialog, "password")->setText("secret");
    QTest::mouseClick(Child<QPushButton>(dialog, "loginButton"), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(m_state.IsSuper());
}

// Plain text only by unticking the box, with the warning beside it while it
// is unticked; the choice goes to the transport and is remembered.
TEST_F(LoginDialogWidgetTest, EncryptedBoxChoosesTheTransportAndWarnsWhileUnticked) {
    m_transport.replies["LoginCheck.asp?username=admin`password=pw`ver=1.5"] = "success|1";
    m_transport.replies["QueryUserAdminDepts.asp?username=admin"] = " ";
    {
        LoginLogic logic(m_transport, m_sink, m_state, m_dir);
        LoginDialog dialog(logic);
        dialog.show();
        auto* box = Child<QCheckBox>(dialog, "encrypted");
        auto* warning = Child<QLabel>(dialog, "plainWarning");
        auto* transport = Child<QLabel>(dialog, "transport");
        auto* port = Child<QLineEdit>(dialog, "port");
        EXPECT_TRUE(box->isChecked());
        EXPECT_FALSE(warning->isVisible());
        EXPECT_TRUE(transport->isVisible());
        EXPECT_TRUE(transport->text().contains("TLS 1.3"));
        box->click();
        EXPECT_TRUE(warning->isVisible());
        EXPECT_FALSE(transport->isVisible());
        EXPECT_EQ(port->text(), "8800");
        box->click();
        EXPECT_FALSE(warning->isVisible());
        EXPECT_EQ(port->text(), "8801");
        box->click();
        Child<QLineEdit>(dialog, "address")->setText("10.0.0.8");
        Child<QLineEdit>(dialog, "loginName")->setText("admin");
        Child<QLineEdit>(dialog, "password")->setText("pw");
        Child<QPushButton>(dialog, "loginButton")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(m_transport.security, std::vector<WireSecurity>{WireSecurity::kPlain});
    LoginLogic logic(m_transport, m_sink, m_state, m_dir);
    LoginDialog again(logic);
    again.show();
    EXPECT_FALSE(Child<QCheckBox>(again, "encrypted")->isChecked());
    EXPECT_TRUE(Child<QLabel>(again, "plainWarning")->isVisible());
    EXPECT_EQ(Child<QLineEdit>(again, "port")->text(), "8800");

    // The certificate menu works on the server in the boxes.
    again.findChild<QAction*>("forgetCertificateAction")->trigger();
    EXPECT_EQ(m_sink.Texts().back(), "没有保存此服务器的证书: 10.0.0.8:8800");
}

// The question defaults to the safe answer; the refusal offers nothing but
// closing it.
TEST(TrustDialogWidgetTest, QuestionDefaultsToCancelAndTheRefusalOffersNoWayOn) {
    const std::string fingerprint =
        "AB:01:02:03:04:05:06:07:08:09:0A:0B:0C:0D:0E:0F:10:11:12:13:14:15:16:17:18:19:1A:1B:1C:"
        "1D:1E:FF";
    QtTrustPrompt prompt;
    prompt.SetShownHook([&](QDialog& dialog) {
        EXPECT_EQ(dialog.objectName(), "trustQuestion");
        QString shown = Child<QLabel>(dialog, "fingerprint")->text();
        EXPECT_EQ(shown.remove('\n'), QString::fromStdString(fingerprint));
        QTest::keyClick(&dialog, Qt::Key_Return);
    });
    EXPECT_FALSE(prompt.AskFirstUse("10.0.0.8:8801", fingerprint));
    prompt.SetShownHook(
        [](QDialog& dialog) { Child<QPushButton>(dialog, "trustButton")->click(); });
    EXPECT_TRUE(prompt.AskFirstUse("10.0.0.8:8801", fingerprint));

    bool shown = false;
    prompt.SetShownHook([&](QDialog& dialog) {
        shown = true;
        EXPECT_EQ(dialog.objectName(), "certificateChanged");
        EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 1);
        EXPECT_TRUE(Child<QLabel>(dialog, "changedWarning")->text().contains("10.0.0.8:8801"));
        EXPECT_TRUE(Child<QLabel>(dialog, "trustedFingerprint")->text().startsWith("AB:01"));
        EXPECT_TRUE(Child<QLabel>(dialog, "presentedFingerprint")->text().startsWith("CD:02"));
        Child<QPushButton>(dialog, "closeButton")->click();
    });
    prompt.ShowChanged("10.0.0.8:8801", fingerprint, "CD:02:03", false);
    EXPECT_TRUE(shown);
}

class MainWindowWidgetTest : public ::testing::Test {
  protected:
    MainWindowWidgetTest() {
        m_login.loginName = "admin";
        m_login.superFlag = "1";
        m_transport.replies["GetChildDepts.asp?deptId="] = "销售部,研发部";
        m_transport.replies["GetChildDepts.asp?deptId=\\销售部"] = "华东区";
        m_transport.fallback = [](const std::string& request) -> std::string {
            if (request.rfind("GetUserBInfo.asp", 0) == 0) {
                return "name:" + request.substr(request.find('=') + 1) + "|gender:女";
            }
            if (request.rfind("GetUserRoles.asp", 0) == 0) return "经理=";
            return " ";
        };
    }

    std::unique_ptr<MainWindow> Open() {
        auto window = std::make_unique<MainWindow>(m_transport, m_sink, m_login, m_dialogs);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    static QStringList Texts(const QList<QAction*>& actions) {
        QStringList texts;
        for (QAction* a : actions) {
            if (a->isVisible()) texts << (a->isSeparator() ? "-" : a->text());
        }
        return texts;
    }

    static void ClickRow(QTreeView* view, const QModelIndex& index) {
        QRect rect = view->visualRect(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
        QCoreApplication::processEvents();  // the click is handled after the view's own
    }

    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_login;
    DialogRegistry m_dialogs;
};

TEST_F(MainWindowWidgetTest, MenusFollowTheLevelAndDialogsWithoutAnOpenerAreDisabled) {
    auto window = Open();
    EXPECT_EQ(window->windowTitle(), Q("分级权限管理(Socket)"));
    EXPECT_EQ(Texts(window->menuBar()->actions()), (QStringList{Q("操作"), Q("退出")}));
    QMenu* operations = window->findChild<QMenu*>("operationsMenu");
    ASSERT_NE(operations, nullptr);
    EXPECT_EQ(Texts(operations->actions()),
              (QStringList{Q("分级管理员管理"), "-", Q("修改管理员密码"), "-", Q("角色管理"), "-",
                           Q("操作日志")}));
    EXPECT_EQ(Texts(window->findChild<QMenu*>("deptMenu")->actions()),
              (QStringList{Q("添加部门"), Q("删除部门"), Q("更改部门"), Q("修改部门顺序"), "-",
                           Q("添加用户"), "-", Q("导出用户(CSV)..."), Q("导入用户(CSV)...")}));
    EXPECT_EQ(Texts(window->findChild<QMenu*>("userMenu")->actions()),
              (QStringList{Q("修改用户"), Q("删除用户"), "-", Q("设为管理员")}));
    EXPECT_FALSE(window->CommandAction(ConsoleCommand::kManageRoles)->isEnabled());
    EXPECT_FALSE(window->CommandAction(ConsoleCommand::kAddDept)->isEnabled());
    EXPECT_TRUE(window->findChild<QAction*>("deleteDeptAction")->isEnabled());

    m_login.superFlag = "0";
    m_login.managedDepts = "\\销售部;";
    auto second = Open();
    EXPECT_EQ(Texts(second->menuBar()->actions()), QStringList{Q("退出")});
    EXPECT_EQ(Texts(second->findChild<QMenu*>("userMenu")->actions()),
              (QStringList{Q("删除用户"), Q("修改用户")}));
}

TEST_F(MainWindowWidgetTest, ClickingADepartmentShowsItsChildrenAndFillsItsUsersProgressively) {
    std::string users;
    for (int i = 0; i < 300; ++i) users += "user" + std::to_string(1000 + i) + ",";
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = users;
    auto window = Open();
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* list = Child<QTreeView>(*window, "userList");
    ASSERT_EQ(tree->model()->rowCount({}), 2);

    QModelIndex sales = tree->model()->index(0, 0, {});
    ClickRow(tree, sales);
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\销售部");
    EXPECT_EQ(tree->model()->rowCount(sales), 1);
    EXPECT_EQ(tree->model()->index(0, 0, sales).data(Qt::UserRole).toString(),
              Q("\\销售部\\华东区"));
    EXPECT_TRUE(tree->isExpanded(sales));
    EXPECT_EQ(list->model()->rowCount({}), 300);
    EXPECT_TRUE(window->findChild<QProgressBar*>("recordProgress")->isVisibleTo(window.get()));

    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Logic().PendingRecords() == 0; }, 10000));
    EXPECT_EQ(list->model()->index(299, 1).data().toString(), Q("user1299"));
    EXPECT_FALSE(window->findChild<QProgressBar*>("recordProgress")->isVisibleTo(window.get()));

    // A click on a user fills the panel; gender "女", roles with ";".
    ClickRow(list, list->model()->index(5, 0));
    EXPECT_EQ(Child<QLineEdit>(*window, "panelAccount")->text(), Q("user1005"));
    EXPECT_EQ(Child<QComboBox>(*window, "panelGender")->currentText(), Q("女"));
    EXPECT_EQ(Child<QLineEdit>(*window, "panelRoles")->text(), Q("经理;"));
}

// Ctrl+F puts the keyboard in the search box; what is typed is searched once
// typing pauses, the users found lie over the list, and Enter opens the
// first one's department and selects him.
TEST_F(MainWindowWidgetTest, SearchBoxFindsAsTypedAndEnterOpensTheUsersDepartment) {
    m_transport.replies["SearchUsers.asp?text=赵磊`count=100"] =
        "account:zhaolei|name:赵磊|depts:\\销售部\\华东区;\\研发部;";
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部\\华东区"] = "chenjing,zhaolei";
    auto window = Open();
    auto* box = Child<QLineEdit>(*window, "userSearch");
    auto* results = Child<QTreeWidget>(*window, "userSearchResults");
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(box->hasFocus());

    Type(box, Q("赵"));
    QTest::qWait(UserSearchBox::kDebounceMs + 100);
    EXPECT_EQ(Child<QLabel>(*window, "userSearchNote")->text(), Q("至少输入2个字符"));
    Type(box, Q("磊"));
    EXPECT_EQ(m_transport.CountStartingWith("SearchUsers.asp"), 0) << "not before typing pauses";
    EXPECT_TRUE(QTest::qWaitFor([&] { return results->isVisible(); }, 2000));
    EXPECT_EQ(m_transport.CountStartingWith("SearchUsers.asp"), 1);
    ASSERT_EQ(results->topLevelItemCount(), 1);
    EXPECT_EQ(results->topLevelItem(0)->text(2), Q("\\销售部\\华东区；\\研发部"));

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(results->isVisible());
    auto* tree = Child<QTreeView>(*window, "deptTree");
    EXPECT_EQ(tree->currentIndex().data(Qt::UserRole).toString(), Q("\\销售部\\华东区"));
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\销售部\\华东区");
    auto* list = Child<QTreeView>(*window, "userList");
    EXPECT_EQ(list->currentIndex().row(), 1);
    EXPECT_EQ(Child<QLineEdit>(*window, "panelAccount")->text(), Q("zhaolei"));
}

TEST_F(MainWindowWidgetTest, RegisteredDialogsOpenWithTheWindowState) {
    std::vector<std::string> seen;
    m_dialogs.Register(ConsoleCommand::kEditUser, [&seen](DialogContext& context) {
        seen.push_back(context.window.CurrentDeptPath() + "|" +
                       std::to_string(context.window.TakeCurrentUserRow()) + "|" +
                       context.rolesText.toStdString());
    });
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = "a,b";
    auto window = Open();
    EXPECT_TRUE(window->CommandAction(ConsoleCommand::kEditUser)->isEnabled());
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* list = Child<QTreeView>(*window, "userList");
    ClickRow(tree, tree->model()->index(0, 0, {}));
    QRect row = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCoreApplication::processEvents();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(seen, std::vector<std::string>{"\\销售部|2|经理;"});
    EXPECT_EQ(window->Logic().CurrentUserRow(), 0);
}

// Cancelling the re-login used to leave a console whose every request came
// back empty, shown as an empty tree or list without a word.
TEST_F(MainWindowWidgetTest, WithoutAConnectionEveryActionSaysSoAndOffersTheLogin) {
    auto window = Open();
    int relogins = 0;
    window->SetReloginHandler([&relogins] { ++relogins; });
    auto* note = Child<QLabel>(*window, "connectionLostNote");
    auto* button = Child<QPushButton>(*window, "reloginButton");
    auto* entry = window->findChild<QAction*>("reloginAction");
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(note->isVisible() || button->isVisible() || entry->isVisible());

    auto* tree = Child<QTreeView>(*window, "deptTree");
    ClickRow(tree, tree->model()->index(0, 0, {}));  // 销售部, while connected
    m_transport.connected = false;
    m_transport.requests.clear();
    m_sink.answers = {false, true};
    ClickRow(tree, tree->model()->index(1, 0, {}));
    window->findChild<QAction*>("deleteUserAction")->trigger();
    ASSERT_EQ(m_sink.questions.size(), 2u);
    EXPECT_EQ(m_sink.questions[0].second, "与服务器的连接已断开,是否重新登录?");
    EXPECT_EQ(relogins, 1);  // the second answer was OK
    EXPECT_TRUE(m_transport.requests.empty());
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\销售部");
    EXPECT_EQ(tree->currentIndex().row(), 0);  // still the department the list shows
    EXPECT_TRUE(note->isVisible() && button->isVisible() && entry->isVisible());

    QTest::mouseClick(button, Qt::LeftButton);
    entry->trigger();
    EXPECT_EQ(relogins, 3);
    EXPECT_EQ(m_sink.questions.size(), 2u);  // asked for it: no question
    window->ShowConnectionLost(false);
    EXPECT_FALSE(note->isVisible() || button->isVisible() || entry->isVisible());
}

TEST_F(MainWindowWidgetTest, DepartmentMenuOffersNoChangeOfAnAssignedDepartment) {
    m_login.superFlag = "0";
    m_login.managedDepts = "\\销售部;";
    auto window = Open();
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* menu = window->findChild<QMenu*>("deptMenu");
    auto rightClick = [&](const QModelIndex& index) {
        tree->setCurrentIndex(index);
        QTimer::singleShot(50, menu, &QMenu::close);
        emit tree->customContextMenuRequested(tree->visualRect(index).center());
    };
    auto offered = [&](ConsoleCommand command) {
        return window->CommandAction(command)->isEnabled();
    };
    auto* deleteDept = window->findChild<QAction*>("deleteDeptAction");
    m_dialogs.Register(ConsoleCommand::kChangeDept, [](DialogContext&) {});
    m_dialogs.Register(ConsoleCommand::kOrderDept, [](DialogContext&) {});

    QModelIndex assigned = tree->model()->index(0, 0, {});
    ClickRow(tree, assigned);
    rightClick(assigned);
    EXPECT_FALSE(deleteDept->isEnabled());
    EXPECT_FALSE(offered(ConsoleCommand::kChangeDept));
    EXPECT_FALSE(offered(ConsoleCommand::kOrderDept));

    rightClick(tree->model()->index(0, 0, assigned));  // \销售部\华东区
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\销售部\\华东区");
    EXPECT_TRUE(deleteDept->isEnabled());
    EXPECT_TRUE(offered(ConsoleCommand::kChangeDept));
    EXPECT_TRUE(offered(ConsoleCommand::kOrderDept));
}

// The arrow keys moved the highlight but loaded nothing, so the menu then
// acted on one department while the list showed another; and a change
// collapsed the whole tree.
TEST_F(MainWindowWidgetTest, SelectionDrivesTheListAndChangesKeepTheTreeOpen) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\研发部"] = "rd1,rd2";
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = "s1";
    auto window = Open();
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* list = Child<QTreeView>(*window, "userList");
    QModelIndex sales = tree->model()->index(0, 0, {});
    ClickRow(tree, sales);
    ASSERT_TRUE(tree->isExpanded(sales));
    EXPECT_EQ(list->model()->rowCount({}), 1);

    tree->setFocus();
    const int asked = m_transport.CountStartingWith("GetDeptUsers.asp");
    QTest::keyClick(tree, Qt::Key_Down);  // 华东区
    QTest::keyClick(tree, Qt::Key_Down);  // 研发部
    QCoreApplication::processEvents();
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\研发部");
    // Only where the keys came to rest is read.
    EXPECT_EQ(m_transport.CountStartingWith("GetDeptUsers.asp"), asked + 1);
    EXPECT_EQ(list->model()->rowCount({}), 2);
    EXPECT_EQ(Child<QLabel>(*window, "userCount")->text(), Q("列表中 2 个用户"));

    m_transport.replies["GetChildDepts.asp?deptId=\\销售部"] = "华东区,华中区";
    window->Logic().DeptAdded("\\销售部", "华中区");
    sales = tree->model()->index(0, 0, {});
    EXPECT_TRUE(tree->isExpanded(sales));
    EXPECT_EQ(tree->currentIndex().data(Qt::UserRole).toString(), Q("\\销售部\\华中区"));
    EXPECT_EQ(window->Logic().CurrentDeptPath(), "\\销售部\\华中区");
    EXPECT_EQ(m_transport.CountStartingWith("GetChildDepts.asp?deptId=`"), 0);
}

TEST_F(MainWindowWidgetTest, StatusBarSaysWhoWhereAndHowAndTheListSortsByAnyColumn) {
    m_login.server = "10.0.0.8:8800";
    m_transport.connection = ConnectionInfo{WireSecurity::kPlain, "", "", "", false};
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = "a1,b2,c3";
    m_transport.fallback = [](const std::string& request) -> std::string {
        const std::map<std::string, std::string> names = {{"a1", "赵"}, {"b2", "钱"}, {"c3", "孙"}};
        if (request.rfind("GetUserBInfo.asp", 0) == 0) {
            return "name:" + names.at(request.substr(request.find('=') + 1));
        }
        return " ";
    };
    auto window = Open();
    EXPECT_EQ(Child<QLabel>(*window, "loginStatus")->text(),
              Q("当前用户: admin (超级管理员)  服务器: 10.0.0.8:8800 (明文, 未加密)"));
    EXPECT_EQ(Child<QLabel>(*window, "loginStatus")->toolTip(),
              Q("请求和回复(包括密码)以明文传送"));
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* list = Child<QTreeView>(*window, "userList");
    ClickRow(tree, tree->model()->index(0, 0, {}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Logic().PendingRecords() == 0; }, 5000));
    auto column = [&](int c) {
        QStringList shown;
        for (int r = 0; r < list->model()->rowCount({}); ++r) {
            shown << list->model()->index(r, c).data().toString();
        }
        return shown;
    };
    EXPECT_EQ(column(0), (QStringList{"a1", "b2", "c3"}));
    QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                      QPoint(list->header()->sectionViewportPosition(1) + 5, 5));
    EXPECT_EQ(column(1), (QStringList{Q("钱"), Q("孙"), Q("赵")}));  // qian, sun, zhao
    // A click on a row reaches the user shown there, whatever the order.
    ClickRow(list, list->model()->index(0, 0));
    EXPECT_EQ(Child<QLineEdit>(*window, "panelAccount")->text(), "b2");
    EXPECT_EQ(Child<QLabel>(*window, "userCount")->text(), Q("列表中 3 个用户"));

    m_transport.connected = false;
    window->ShowConnectionLost(true);
    EXPECT_TRUE(Child<QLabel>(*window, "loginStatus")->text().endsWith(Q("(未连接)")));
}

// A second-level administrator was offered 删除用户 on another
// administrator's account; the server refused it.
TEST_F(MainWindowWidgetTest, AnotherAdministratorsAccountIsNotOfferedForChange) {
    m_login.superFlag = "0";
    m_login.managedDepts = "\\销售部;";
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = "boss,staff";
    m_transport.fallback = [](const std::string& request) -> std::string {
        if (request.rfind("GetUserBInfo.asp", 0) == 0) {
            const bool boss = request.find("boss") != std::string::npos;
            return "name:x|gender:男|mobile:|email:|phone:|auth:0|uin:1|position:|level:0|"
                   "protected:" +
                   std::string(boss ? "1" : "0");
        }
        return " ";
    };
    int edits = 0;
    m_dialogs.Register(ConsoleCommand::kEditUser, [&edits](DialogContext&) { ++edits; });
    auto window = Open();
    auto* tree = Child<QTreeView>(*window, "deptTree");
    auto* list = Child<QTreeView>(*window, "userList");
    ClickRow(tree, tree->model()->index(0, 0, {}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->Logic().PendingRecords() == 0; }, 5000));
    auto* menu = window->findChild<QMenu*>("userMenu");
    auto* deleteUser = window->findChild<QAction*>("deleteUserAction");
    for (int row : {0, 1}) {
        QModelIndex index = list->model()->index(row, 0);
        list->setCurrentIndex(index);
        QTimer::singleShot(50, menu, &QMenu::close);
        emit list->customContextMenuRequested(list->visualRect(index).center());
        EXPECT_EQ(deleteUser->isEnabled(), row == 1) << row;
        EXPECT_EQ(window->CommandAction(ConsoleCommand::kEditUser)->isEnabled(), row == 1);
        ClickRow(list, index);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    }
    EXPECT_EQ(edits, 1);
}

TEST_F(MainWindowWidgetTest, AtItsLeastSizeTheWindowShowsTheWholePanelAndLooksReadOnly) {
    auto window = Open();
    window->resize(1, 1);  // as small as it goes
    QCoreApplication::processEvents();
    QWidget* area = window->centralWidget();
    auto* panel = Child<QWidget>(*window, "userPanel");
    EXPECT_LE(panel->geometry().right(), area->width() - 1);
    EXPECT_LE(panel->geometry().bottom(), area->height() - 1);
    EXPECT_GE(Child<QTreeView>(*window, "userList")->height(), 100);
    for (const char* box :
         {"panelAccount", "panelName", "panelPosition", "panelPhone", "panelLevel", "panelRoles"}) {
        EXPECT_TRUE(LooksReadOnly(Child<QLineEdit>(*window, box))) << box;
    }
}

// File dialogs spoke English on a Chinese desktop.
TEST(QtTranslationsTest, QtsOwnTextsFollowTheLocale) {
    ASSERT_TRUE(InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China)))
        << "qt6-translations-l10n is not installed (scripts/bootstrap installs it)";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "File &name:"), Q("文件名称(&N)："));
    EXPECT_FALSE(InstallQtTranslations(QLocale(QLocale::Swahili)));
}

TEST_F(MainWindowWidgetTest, EscapeAndEnterDoNothingAndClosingAsksFirst) {
    auto window = Open();
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(m_sink.questions.empty());

    m_sink.answers = {false, true};
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->close());
    ASSERT_EQ(m_sink.questions.size(), 2u);
    EXPECT_EQ(m_sink.questions[0].second, "确定要退出么?");
}

}  // namespace
}  // namespace warden::console::test

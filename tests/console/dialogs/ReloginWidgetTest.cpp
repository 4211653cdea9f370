// The whole console on the offscreen platform, losing its server while a
// dialog is open: a real transport to a scripted server, the real dialogs,
// and the login dialog filled in as a user would. The main event loop runs
// as in the program; the test acts from a timer, one step at a time.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include <unistd.h>

#include "console/core/ConsoleApp.h"
#include "console/core/MainWindow.h"
#include "console/dialogs/ConsoleDialogs.h"
#include "tests/console/FakeServer.h"
#include "tests/console/FakeTransport.h"
#include "tests/console/QtWidgetTestSupport.h"

namespace warden::console::test {
namespace {

namespace fs = std::filesystem;

FakeServer::Action Answer(const std::string& request) {
    auto is = [&request](const char* name) { return request.rfind(name, 0) == 0; };
    if (is("LoginCheck.asp")) return FakeServer::Reply("success|1");
    if (is("GetChildDepts.asp?deptId=")) {
        return FakeServer::Reply(request.size() == 25 ? "销售部,研发部" : " ");
    }
    if (is("GetAllRoles.asp")) return FakeServer::Reply("=经理=销售");
    if (is("GetRoleDescription.asp")) return FakeServer::Reply("描述");
    return FakeServer::Reply(" ");
}

class ReloginTest : public ::testing::Test {
  protected:
    ReloginTest()
        : m_server([this](const std::string& request) {
              return m_ended && request.rfind("LoginCheck.asp", 0) != 0
                         ? FakeServer::Reply("error:请先登录")
                         : Answer(request);
          }) {
        m_dir = fs::temp_directory_path() / ("warden-relogin-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        RegisterConsoleDialogs(m_dialogs);
    }
    ~ReloginTest() override { fs::remove_all(m_dir); }

    struct Step {
        std::function<bool()> ready;
        std::function<void()>
            act;  // queued, so that a modal dialog it opens never blocks the driver
    };

    // Runs the main event loop until every step has been taken.
    void Run(std::vector<Step> steps) {
        QEventLoop loop;
        size_t next = 0;
        QTimer driver;
        driver.setInterval(10);
        QObject::connect(&driver, &QTimer::timeout, [&] {
            if (next == steps.size()) {
                loop.quit();
            } else if (steps[next].ready()) {
                QTimer::singleShot(0, steps[next++].act);
            }
        });
        QTimer::singleShot(30000, &loop, [&] {
            ADD_FAILURE() << "stuck before step " << next;
            for (QWidget* w : QApplication::topLevelWidgets()) w->close();
            loop.quit();
        });
        driver.start();
        loop.exec();
    }

    static QWidget* Modal(const char* name) {
        QWidget* modal = QApplication::activeModalWidget();
        return modal != nullptr && modal->objectName() == name ? modal : nullptr;
    }

    // Fills in the login dialog and presses "登 录".
    void LogIn() {
        QWidget* login = Modal("loginDialog");
        ASSERT_NE(login, nullptr);
        Child<QCheckBox>(*login, "encrypted")->setChecked(false);  // the fake speaks plain text
        Child<QLineEdit>(*login, "address")->setText("127.0.0.1");
        Child<QLineEdit>(*login, "port")->setText(QString::number(m_server.Port()));
        Child<QLineEdit>(*login, "loginName")->setText("admin");
        Child<QLineEdit>(*login, "password")->setText("pw");
        Child<QPushButton>(*login, "loginButton")->click();
    }

    bool WindowReady(ConsoleApp& app, const MainWindow* not_ = nullptr) {
        MainWindow* window = app.Window();
        return window != nullptr && window != not_ && window->isVisible() &&
               QApplication::activeModalWidget() == nullptr;
    }

    fs::path m_dir;
    std::atomic<bool> m_ended{false};  // the server has ended every login
    FakeServer m_server;
    FakeSink m_sink;  // answers every question with OK unless told otherwise
    DialogRegistry m_dialogs;
};

// The crash: the re-login ran inside the open dialog's event loop and deleted
// the old window, which owned the dialog still running on the stack.
TEST_F(ReloginTest, LoginAgainWithADialogOpenClosesTheDialogFirstAndReplacesTheWindow) {
    ConsoleApp app(std::move(m_dialogs), &m_sink, m_dir);
    QPointer<MainWindow> old;
    QPointer<QWidget> roleManager;
    Run({
        {[] { return true; }, [&] { EXPECT_TRUE(app.Start()); }},
        {[] { return Modal("loginDialog") != nullptr; }, [&] { LogIn(); }},
        {[&] { return WindowReady(app); },
         [&] {
             old = app.Window();
             old->CommandAction(ConsoleCommand::kManageRoles)->trigger();
         }},
        {[] { return Modal("roleManagerDialog") != nullptr; },
         [&] {
             roleManager = Modal("roleManagerDialog");
             m_server.CloseClients();
             // Acting in the dialog finds the connection gone; OK to log in again.
             Child<QListWidget>(*roleManager, "roles")->setCurrentRow(0);
         }},
        {[] { return Modal("loginDialog") != nullptr; },
         [&] {
             EXPECT_TRUE(roleManager.isNull() || !roleManager->isVisible());
             LogIn();
         }},
        {[&] { return WindowReady(app, old); }, [] {}},
        {[&] { return old.isNull(); }, [] {}},  // the old window, and its dialog, are gone
    });
    ASSERT_NE(app.Window(), nullptr);
    EXPECT_EQ(Child<QTreeView>(*app.Window(), "deptTree")->model()->rowCount({}), 2);
    ASSERT_EQ(m_sink.questions.size(), 1u);
    // Asked knowing that the open dialog's unsaved input goes with it.
    EXPECT_EQ(m_sink.questions[0].second,
              "与服务器的连接已断开,是否重新登录?\n重新登录会关闭打开的窗口, "
              "其中没有提交的修改不会保存。");
    EXPECT_TRUE(roleManager.isNull());
}

// Cancel used to leave a console that showed every empty reply as data.
TEST_F(ReloginTest, DecliningKeepsTheWindowMarkedAndEveryActionOffersTheLoginAgain) {
    ConsoleApp app(std::move(m_dialogs), &m_sink, m_dir);
    MainWindow* first = nullptr;
    size_t requestsAtLoss = 0;
    Run({
        {[] { return true; }, [&] { EXPECT_TRUE(app.Start()); }},
        {[] { return Modal("loginDialog") != nullptr; }, [&] { LogIn(); }},
        {[&] { return WindowReady(app); },
         [&] {
             first = app.Window();
             m_server.CloseClients();
             std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the close arrives
             requestsAtLoss = m_server.Requests().size();
             m_sink.answers = {false, true};  // decline once, then accept
             first->CommandAction(ConsoleCommand::kManageAdmins)->trigger();
         }},
        {[&] { return m_sink.questions.size() == 1 && WindowReady(app); },
         [&] {
             // Nothing was opened with empty data; the window says why.
             EXPECT_TRUE(Child<QLabel>(*first, "connectionLostNote")->isVisible());
             EXPECT_TRUE(first->findChild<QAction*>("reloginAction")->isVisible());
             first->CommandAction(ConsoleCommand::kManageRoles)->trigger();
         }},
        // Accepted: the login opens, and is given up.
        {[] { return Modal("loginDialog") != nullptr; },
         [] { Child<QPushButton>(*Modal("loginDialog"), "cancelButton")->click(); }},
        {[&] { return WindowReady(app); },
         [&] {
             EXPECT_EQ(app.Window(), first);
             EXPECT_TRUE(Child<QLabel>(*first, "connectionLostNote")->isVisible());
             Child<QPushButton>(*first, "reloginButton")->click();
         }},
        {[] { return Modal("loginDialog") != nullptr; }, [&] { LogIn(); }},
        {[&] { return WindowReady(app, first); }, [] {}},
    });
    EXPECT_EQ(m_sink.questions.size(), 2u);
    EXPECT_FALSE(Child<QLabel>(*app.Window(), "connectionLostNote")->isVisible());
    // Between the loss and the new login nothing but the login went out.
    std::vector<std::string> requests = m_server.Requests();
    for (size_t i = requestsAtLoss; i < requests.size(); ++i) {
        EXPECT_TRUE(requests[i].rfind("LoginCheck.asp", 0) == 0 ||
                    requests[i].rfind("QueryUserAdminDepts.asp", 0) == 0 ||
                    requests[i].rfind("GetChildDepts.asp?deptId=", 0) == 0)
            << requests[i];
    }
}

// A login the server ended (idle, too old, password changed elsewhere) is
// offered again as a lost connection is, not shown as the server's text.
TEST_F(ReloginTest, ALoginTheServerEndedOffersTheLoginAgain) {
    ConsoleApp app(std::move(m_dialogs), &m_sink, m_dir);
    MainWindow* first = nullptr;
    Run({
        {[] { return true; }, [&] { EXPECT_TRUE(app.Start()); }},
        {[] { return Modal("loginDialog") != nullptr; }, [&] { LogIn(); }},
        {[&] { return WindowReady(app); },
         [&] {
             first = app.Window();
             m_ended = true;
             first->CommandAction(ConsoleCommand::kManageRoles)->trigger();
         }},
        {[] { return Modal("loginDialog") != nullptr; },
         [&] {
             m_ended = false;
             LogIn();
         }},
        {[&] { return WindowReady(app, first); }, [] {}},
    });
    ASSERT_EQ(m_sink.questions.size(), 1u);
    EXPECT_EQ(m_sink.questions[0].second.rfind(
                  "登录已失效(长时间没有操作、登录时间已满或密码已在别处修改),是否重新登录?", 0),
              0u)
        << m_sink.questions[0].second;
    for (const std::string& shown : m_sink.Texts()) {
        EXPECT_EQ(shown.find("请先登录"), std::string::npos) << shown;
    }
    EXPECT_FALSE(Child<QLabel>(*app.Window(), "connectionLostNote")->isVisible());
}

}  // namespace
}  // namespace warden::console::test

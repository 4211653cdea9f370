// The dialogs' Qt wiring on the offscreen platform: controls found by object
// name, clicks reaching the logic, focus and closing as the logic says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/ConsoleDialogs.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Strings = std::vector<std::string>;

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "console_dialog_widget_tests";
        static char* argv[] = {name, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

  private:
    QApplication* m_app = nullptr;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

template <typename T>
T* Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void Click(QWidget& parent, const char* button) {
    QPushButton* target = Child<QPushButton>(parent, button);
    if (target != nullptr) QTest::mouseClick(target, Qt::LeftButton);
}

class DialogWidgetTest : public ::testing::Test {
  protected:
    DialogWidgetTest() {
        m_login.loginName = "admin";
        m_login.superFlag = "1";
    }

    FakeTransport m_transport;
    FakeSink m_sink;
    LoginState m_login;
};

TEST_F(DialogWidgetTest, ChangePasswordSelectsTheNewPasswordAfterAMismatchAndClosesWhenDone) {
    m_transport.replies["LoginCheck.asp?username=admin`password=old`ver=1.5"] = "success|1";
    m_transport.replies["ChangePwd.asp?username=admin`password=new"] = "success";
    ChangePasswordLogic logic(m_transport, m_sink, m_login);
    ChangePasswordDialog dialog(logic);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(Child<QLineEdit>(dialog, "userName")->text(), "admin");
    EXPECT_TRUE(Child<QLineEdit>(dialog, "userName")->isReadOnly());
    auto* newPassword = Child<QLineEdit>(dialog, "newPassword");
    EXPECT_EQ(newPassword->echoMode(), QLineEdit::Password);

    Child<QLineEdit>(dialog, "oldPassword")->setText("old");
    newPassword->setText("new");
    Child<QLineEdit>(dialog, "confirmPassword")->setText("other");
    Click(dialog, "submitButton");
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(newPassword->hasFocus());
    EXPECT_EQ(newPassword->selectedText(), "new");

    Child<QLineEdit>(dialog, "confirmPassword")->setText("new");
    Click(dialog, "submitButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_sink.Texts(), (Strings{"密码输入不匹配, 请重新输入", "修改密码成功"}));
}

TEST_F(DialogWidgetTest, ChangePasswordCancelSendsNothing) {
    ChangePasswordLogic logic(m_transport, m_sink, m_login);
    ChangePasswordDialog dialog(logic);
    dialog.show();
    Child<QLineEdit>(dialog, "oldPassword")->setText("old");
    Click(dialog, "cancelButton");
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(m_transport.requests.empty());
}

}  // namespace
}  // namespace warden::console::test

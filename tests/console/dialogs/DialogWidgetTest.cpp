// The dialogs' Qt wiring on the offscreen platform: controls found by object
// name, clicks reaching the logic, focus and closing as the logic says.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/ConsoleDialogs.h"
#include "console/dialogs/DeptDialogs.h"
#include "console/dialogs/DeptPickerView.h"
#include "tests/console/dialogs/DialogFixture.h"

namespace warden::console::test {
namespace {

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

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

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

using DialogWidgetTest = DialogFixture;

void ClickItem(QTreeView* view, const QModelIndex& index) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QCoreApplication::processEvents();  // the click is handled after the view's own
}

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

TEST_F(DialogWidgetTest, AddDeptShowsTheParentClearsItAndEmptiesTheNameAfterAnAddition) {
    PointAt("\\销售部");
    AddDeptLogic logic(m_transport, m_sink, m_window);
    AddDeptDialog dialog(logic);
    dialog.show();
    auto* parent = Child<QLabel>(dialog, "parentDept");
    EXPECT_EQ(parent->text(), Q("\\销售部"));
    auto* name = Child<QLineEdit>(dialog, "deptName");
    name->setText(Q("华北区"));
    m_transport.replies["DeptAdd.asp?deptid=华北区`parentdept=\\销售部"] = "info:添加部门成功";
    Click(dialog, "addButton");
    EXPECT_TRUE(name->text().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    Click(dialog, "clearParentButton");
    EXPECT_TRUE(parent->text().isEmpty());
    Click(dialog, "closeButton");
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DialogWidgetTest, ChangeDeptMovesUnderTheDepartmentClickedInItsTree) {
    PointAt("\\销售部\\华东区");
    ChangeDeptLogic logic(m_transport, m_sink, m_window, [](int) {});
    ChangeDeptDialog dialog(logic);
    dialog.show();
    EXPECT_EQ(Child<QLineEdit>(dialog, "deptName")->text(), Q("华东区"));
    auto* tree = Child<QTreeView>(dialog, "parentTree");
    ASSERT_EQ(tree->model()->rowCount({}), 2);
    QModelIndex sales = tree->model()->index(0, 0, {});
    ClickItem(tree, sales);
    EXPECT_TRUE(tree->isExpanded(sales));
    ASSERT_EQ(tree->model()->rowCount(sales), 1);  // 华东区 itself is left out
    ClickItem(tree, tree->model()->index(0, 0, sales));
    m_transport.requests.clear();
    m_transport.replies
        ["DeptChange.asp?op=changeparent`origdeptname=\\销售部\\华东区`"
         "newparentdept=\\销售部\\华南区"] = "info:修改部门成功";
    Click(dialog, "submitButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_transport.CountStartingWith("DeptChange.asp"), 1);
    EXPECT_EQ(m_sink.Texts(), Strings{"修改部门成功"});
}

TEST_F(DialogWidgetTest, OrderDeptEnablesTheListOnlyForAChosenSibling) {
    m_transport.replies["GetSameLevelDepts.asp?deptId=\\"] = "销售部,研发部,市场部";
    OrderDeptLogic logic(m_transport, m_sink, m_window, "\\研发部");
    OrderDeptDialog dialog(logic);
    dialog.show();
    auto* siblings = Child<QComboBox>(dialog, "siblings");
    EXPECT_EQ(Child<QLineEdit>(dialog, "deptName")->text(), Q("研发部"));
    EXPECT_TRUE(Child<QRadioButton>(dialog, "placeLast")->isChecked());
    EXPECT_FALSE(siblings->isEnabled());
    ASSERT_EQ(siblings->count(), 2);
    EXPECT_EQ(siblings->currentText(), Q("销售部"));
    QTest::mouseClick(Child<QRadioButton>(dialog, "placeChosen"), Qt::LeftButton);
    EXPECT_TRUE(siblings->isEnabled());
    siblings->setCurrentIndex(1);
    m_transport.replies["SetDeptOrder.asp?deptName=\\研发部`nextDeptName=\\市场部`isLast=0"] =
        "info:修改部门顺序成功";
    Click(dialog, "submitButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    m_transport.replies["GetSameLevelDepts.asp?deptId=\\"] = "研发部";
    OrderDeptLogic alone(m_transport, m_sink, m_window, "\\研发部");
    OrderDeptDialog lonely(alone);
    EXPECT_FALSE(Child<QPushButton>(lonely, "submitButton")->isEnabled());
}

}  // namespace
}  // namespace warden::console::test

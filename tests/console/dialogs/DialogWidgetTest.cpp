// The dialogs' Qt wiring on the offscreen platform: controls found by object
// name, clicks reaching the logic, focus and closing as the logic says.
#include <gtest/gtest.h>

#include <fstream>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include "console/core/MainWindow.h"
#include "console/dialogs/AdminDetailDialog.h"
#include "console/dialogs/AdminDialogs.h"
#include "console/dialogs/AuditLogDialog.h"
#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/ConsoleDialogs.h"
#include "console/dialogs/DeptDialogs.h"
#include "console/dialogs/DeptPickerView.h"
#include "console/dialogs/RoleDialogs.h"
#include "console/dialogs/UserDialogs.h"
#include "protocol/Permissions.h"
#include "tests/console/QtWidgetTestSupport.h"
#include "tests/console/dialogs/DialogFixture.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using warden::test::TempDir;

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
    m_transport.replies["ChangePwd.asp?username=admin`oldpassword=old`password=new"] = "success";
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
    // The box stops at the longest name the server takes.
    Type(name, QString(70, QChar(u'部')));
    EXPECT_EQ(name->text(), QString(64, QChar(u'部')));
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
    ChangeDeptLogic logic(m_transport, m_sink, m_window);
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

TEST_F(DialogWidgetTest, UserEditorAddsADepartmentFromItsTreeAndEmptiesTheFormAfterAnAddition) {
    PointAt("\\销售部");
    UserEditorLogic logic(m_transport, m_sink, m_window, UserEditorMode::kAdd, "\\销售部", "");
    int rolesOpened = 0;
    UserEditorDialog dialog(logic, [&rolesOpened](QWidget*, std::string& roles) {
        ++rolesOpened;
        roles = "经理;";
        return true;
    });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), Q("添加用户"));
    auto* depts = Child<QListWidget>(dialog, "depts");
    ASSERT_EQ(depts->count(), 1);
    EXPECT_EQ(Child<QComboBox>(dialog, "level")->currentText(), "0");
    EXPECT_EQ(Child<QComboBox>(dialog, "gender")->currentText(), Q("男"));  // never blank

    auto* tree = Child<QTreeView>(dialog, "deptTree");
    ClickItem(tree, tree->model()->index(1, 0, {}));  // 研发部
    Click(dialog, "addDeptButton");
    ASSERT_EQ(depts->count(), 2);
    EXPECT_EQ(depts->findItems(Q("\\研发部\\"), Qt::MatchExactly).size(), 1);
    depts->setCurrentRow(depts->row(depts->findItems(Q("\\销售部"), Qt::MatchExactly).first()));
    Click(dialog, "removeDeptButton");
    ASSERT_EQ(depts->count(), 1);

    Click(dialog, "rolesButton");
    EXPECT_EQ(rolesOpened, 1);
    EXPECT_EQ(Child<QLineEdit>(dialog, "roles")->text(), Q("经理;"));

    // The note about an empty password belongs to the update mode only.
    Child<QLineEdit>(dialog, "password")->setFocus();
    EXPECT_FALSE(Child<QLabel>(dialog, "passwordNote")->isVisible());

    Child<QLineEdit>(dialog, "account")->setText("wangwu");
    Child<QLineEdit>(dialog, "name")->setText(Q("王五"));
    Child<QComboBox>(dialog, "gender")->setCurrentIndex(1);
    m_transport.replies
        ["UserAdd.asp?username=wangwu`deptname=\\研发部\\|`name=王五`position="
         "`gender=女`mobile=`phone=`email=`pwd=`roles=经理;`level=0"] = "info:添加用户成功";
    Click(dialog, "submitButton");
    EXPECT_EQ(m_sink.Texts(), Strings{"添加用户成功"});
    EXPECT_TRUE(Child<QLineEdit>(dialog, "account")->text().isEmpty());
    EXPECT_TRUE(Child<QLineEdit>(dialog, "name")->text().isEmpty());
    EXPECT_EQ(Child<QComboBox>(dialog, "gender")->currentText(), Q("女"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "roles")->text(), Q("经理;"));
    EXPECT_EQ(m_window.Users().Size(), 1);
}

TEST_F(DialogWidgetTest, UserEditorInUpdateModeLocksTheAccountAndShowsThePasswordNoteOnFocus) {
    m_transport.replies["GetDeptUsers.asp?deptId=\\销售部"] = "zhaolei";
    m_transport.replies["GetUserBInfo.asp?username=zhaolei"] =
        "name:赵磊|gender:男|mobile:|email:|phone:|auth:0|uin:1|position:|level:3";
    m_window.LoadDeptUsers("\\销售部");
    ASSERT_TRUE(m_window.ClickUser(0));
    UserEditorLogic logic(m_transport, m_sink, m_window, UserEditorMode::kUpdate, "", "经理;");
    UserEditorDialog dialog(logic, {});
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), Q("修改用户信息"));
    EXPECT_TRUE(Child<QLineEdit>(dialog, "account")->isReadOnly());
    EXPECT_TRUE(LooksReadOnly(Child<QLineEdit>(dialog, "account")));
    EXPECT_TRUE(LooksReadOnly(Child<QLineEdit>(dialog, "roles")));
    EXPECT_FALSE(LooksReadOnly(Child<QLineEdit>(dialog, "name")));
    EXPECT_EQ(Child<QLineEdit>(dialog, "account")->text(), "zhaolei");
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Child<QLineEdit>(dialog, "name")->hasFocus(); }, 1000));
    auto* note = Child<QLabel>(dialog, "passwordNote");
    EXPECT_FALSE(note->isVisible());
    const QRect nameAt = Child<QLineEdit>(dialog, "name")->geometry();
    Child<QLineEdit>(dialog, "password")->setFocus();
    EXPECT_TRUE(note->isVisible());
    QCoreApplication::processEvents();  // let the layout react, if it would
    EXPECT_EQ(Child<QLineEdit>(dialog, "name")->geometry(), nameAt);  // nothing jumps
    Child<QLineEdit>(dialog, "email")->setFocus();
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(Child<QComboBox>(dialog, "gender")->currentText(), Q("男"));
    EXPECT_EQ(Child<QComboBox>(dialog, "level")->currentText(), "3");
}

TEST_F(DialogWidgetTest, UserRolesMovesRolesByButtonAndDoubleClick) {
    m_transport.replies["GetAllRoles.asp?"] = "=User=经理=员工=客服";
    UserRolesLogic logic(m_transport, m_sink, m_login, "客服;");
    UserRolesDialog dialog(logic);
    dialog.show();
    auto* available = Child<QListWidget>(dialog, "availableRoles");
    auto* given = Child<QListWidget>(dialog, "givenRoles");
    ASSERT_EQ(available->count(), 2);
    ASSERT_EQ(given->count(), 1);
    available->setCurrentRow(0);
    Click(dialog, "giveButton");
    EXPECT_EQ(available->count(), 1);
    EXPECT_EQ(given->count(), 2);
    QListWidgetItem* item = given->item(0);
    QTest::mouseClick(given->viewport(), Qt::LeftButton, {}, given->visualItemRect(item).center());
    QTest::mouseDClick(given->viewport(), Qt::LeftButton, {}, given->visualItemRect(item).center());
    EXPECT_EQ(given->count(), 1);
    Click(dialog, "okButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(logic.RolesText(), given->item(0)->text().toStdString() + ";");
}

TEST_F(DialogWidgetTest, RoleManagerLocksTheBuiltInRolesAndShowsTheSelectedOne) {
    m_transport.replies["GetAllRoles.asp?"] = "=User=经理";
    m_transport.replies["GetRoleDescription.asp?rolename=经理"] = "部门经理";
    m_transport.replies["GetRightsOfRole.asp?rolename=经理"] = "R1|0|1|发送短信|^R2|1|0|发送文件|";
    RoleManagerLogic logic(m_transport, m_sink);
    RoleManagerDialog dialog(logic, m_transport, m_sink);
    dialog.show();
    auto* roles = Child<QListWidget>(dialog, "roles");
    ASSERT_EQ(roles->count(), 2);
    EXPECT_FALSE(Child<QPushButton>(dialog, "deleteButton")->isEnabled());

    roles->setCurrentRow(roles->row(roles->findItems("User", Qt::MatchExactly).first()));
    EXPECT_TRUE(Child<QLineEdit>(dialog, "roleName")->isReadOnly());
    EXPECT_TRUE(LooksReadOnly(Child<QLineEdit>(dialog, "roleName")));
    EXPECT_FALSE(Child<QPushButton>(dialog, "updateButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(dialog, "editRightButton")->isEnabled());

    roles->setCurrentRow(roles->row(roles->findItems(Q("经理"), Qt::MatchExactly).first()));
    EXPECT_EQ(Child<QLineEdit>(dialog, "roleName")->text(), Q("经理"));
    EXPECT_FALSE(Child<QLineEdit>(dialog, "roleName")->isReadOnly());
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "roleDescription")->toPlainText(), Q("部门经理"));
    EXPECT_TRUE(Child<QPushButton>(dialog, "deleteButton")->isEnabled());
    EXPECT_FALSE(LooksReadOnly(Child<QLineEdit>(dialog, "roleName")));

    // A refused change or a deletion given up keeps what was typed.
    Child<QLineEdit>(dialog, "roleName")->setText(Q("主管"));
    Child<QPlainTextEdit>(dialog, "roleDescription")->setPlainText(Q("新描述"));
    m_transport.replies["RoleAdmin.asp?op=update`name=经理`newname=主管`desc=新描述"] =
        "error:角色已经存在";
    Click(dialog, "updateButton");
    m_sink.answers = {false};
    Click(dialog, "deleteButton");
    EXPECT_EQ(Child<QLineEdit>(dialog, "roleName")->text(), Q("主管"));
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "roleDescription")->toPlainText(), Q("新描述"));
    EXPECT_EQ(roles->currentItem()->text(), Q("经理"));
    auto* rights = Child<QTreeWidget>(dialog, "rights");
    ASSERT_EQ(rights->topLevelItemCount(), 2);
    // Sorted by pinyin: duanxin before wenjian.
    EXPECT_EQ(rights->topLevelItem(0)->text(0), Q("发送短信"));
    EXPECT_EQ(rights->topLevelItem(1)->text(1), "+");
    EXPECT_TRUE(rights->isColumnHidden(3));

    m_sink.answers = {true};
    m_transport.replies["RoleAdmin.asp?op=del`name=经理"] = "info:删除角色成功";
    Click(dialog, "deleteButton");
    EXPECT_EQ(roles->count(), 1);
    EXPECT_EQ(rights->topLevelItemCount(), 0);
    EXPECT_TRUE(Child<QLineEdit>(dialog, "roleName")->text().isEmpty());
}

TEST_F(DialogWidgetTest, RightSettingStartsFromTheFlagsAndAlwaysCloses) {
    RoleManagerLogic manager(m_transport, m_sink);
    RightSettingLogic logic(m_transport, m_sink, manager,
                            {"经理", Q("发送短信").toStdString(), "R1", "0", "0"});
    RightSettingDialog dialog(logic);
    dialog.show();
    EXPECT_EQ(Child<QLabel>(dialog, "rightDescription")->text(), Q("发送短信"));
    EXPECT_FALSE(Child<QRadioButton>(dialog, "deny")->isChecked());
    EXPECT_FALSE(Child<QRadioButton>(dialog, "allow")->isChecked());
    Child<QRadioButton>(dialog, "allow")->click();
    m_transport.replies["UpdateRoleRight.asp?name=经理`rightInfo=R1|0|1"] = "error:失败";
    Click(dialog, "submitButton");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(m_sink.Texts(), Strings{"失败"});
}

TEST_F(DialogWidgetTest, AddRoleRadioButtonsFollowAndSetTheClickedRight) {
    m_transport.replies["GetAllRights.asp?"] = "R1|甲权限|1|^R2|乙权限|0|";
    RoleManagerLogic manager(m_transport, m_sink);
    AddRoleLogic logic(m_transport, m_sink, manager);
    AddRoleDialog dialog(logic);
    dialog.show();
    auto* rights = Child<QTreeWidget>(dialog, "rights");
    ASSERT_EQ(rights->topLevelItemCount(), 2);
    auto* deny = Child<QRadioButton>(dialog, "deny");
    auto* allow = Child<QRadioButton>(dialog, "allow");
    rights->setCurrentItem(rights->topLevelItem(0));  // 甲权限 (jia), allowed
    EXPECT_TRUE(allow->isChecked());
    rights->setCurrentItem(rights->topLevelItem(1));  // 乙权限 (yi), neither
    EXPECT_FALSE(allow->isChecked());
    EXPECT_FALSE(deny->isChecked());
    QTest::mouseClick(deny, Qt::LeftButton);
    EXPECT_EQ(rights->topLevelItem(1)->text(1), "+");

    Child<QLineEdit>(dialog, "roleName")->setText(Q("销售"));
    Child<QPlainTextEdit>(dialog, "roleDescription")->setPlainText(QString(300, 'd'));
    EXPECT_EQ(Child<QPlainTextEdit>(dialog, "roleDescription")->toPlainText().size(), 256);
    Child<QPlainTextEdit>(dialog, "roleDescription")->clear();
    m_transport.replies["RoleAdmin.asp?op=add`name=销售`desc=`rightInfo=R1|0|1^R2|1|0"] =
        "info:添加角色成功";
    Click(dialog, "submitButton");
    EXPECT_TRUE(Child<QLineEdit>(dialog, "roleName")->text().isEmpty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(manager.Roles().Items(), Strings{"销售"});
}

TEST_F(DialogWidgetTest, AdminListShowsTheSelectedAdministratorsDepartments) {
    m_transport.replies["GetAdminList.asp?"] = "bob|";
    m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\销售部;\\研发部;";
    AdminListLogic logic(m_transport, m_sink);
    AdminListDialog dialog(logic, m_transport, m_sink, m_login);
    dialog.show();
    auto* admins = Child<QTreeWidget>(dialog, "admins");
    ASSERT_EQ(admins->topLevelItemCount(), 1);
    EXPECT_EQ(admins->topLevelItem(0)->text(0), "bob");
    admins->setCurrentItem(admins->topLevelItem(0));
    EXPECT_EQ(Child<QListWidget>(dialog, "adminDepts")->count(), 2);
    // "修改管理员" without a selection opens nothing.
    admins->clearSelection();
    EXPECT_EQ(Child<QListWidget>(dialog, "adminDepts")->count(), 0);
    m_transport.requests.clear();
    Click(dialog, "changeAdminButton");
    EXPECT_TRUE(m_transport.requests.empty());
}

// 权限详情: a department in scope opens onto its sub-departments when
// expanded (asked once), a gone one cannot be; 试一试 sends the chosen
// operation on the typed target (Return works as 检查) and shows the verdict.
TEST_F(DialogWidgetTest, AdminDetailOpensHisScopeAndAnswersATrial) {
    AdminEffective bob;
    bob.account = "bob";
    bob.level = "admin";
    bob.exists = true;
    bob.depts = {{"\\销售部", "ok"}, {"\\旧部", "missing"}};
    m_transport.replies["GetAdminEffective.asp?username=bob"] = FormatAdminEffective(bob);
    m_transport.replies["GetChildDepts.asp?deptId=\\销售部"] = "华东区,华南区";
    PermissionVerdict deny;
    deny.request = "DeptDelete.asp";
    deny.text = "只能管理自己的部门";
    deny.subject = "\\研发部";
    m_transport.replies["CheckPermission.asp?checkfor=bob`checkrequest=DeptDelete.asp`deptid=\\研发部"] =
        FormatPermissionVerdict(deny);
    AdminDetailLogic logic(m_transport, m_sink, "bob");
    ASSERT_TRUE(logic.Open());
    AdminDetailDialog dialog(logic);
    dialog.show();

    auto* scope = Child<QTreeWidget>(dialog, "adminScope");
    ASSERT_EQ(scope->topLevelItemCount(), 2);
    QTreeWidgetItem* sales = scope->topLevelItem(0);
    scope->expandItem(sales);
    scope->collapseItem(sales);
    scope->expandItem(sales);
    ASSERT_EQ(sales->childCount(), 2);
    EXPECT_EQ(sales->child(1)->text(0), "华南区");
    EXPECT_EQ(m_transport.CountStartingWith("GetChildDepts.asp"), 1);
    EXPECT_EQ(scope->topLevelItem(1)->childIndicatorPolicy(),
              QTreeWidgetItem::DontShowIndicatorWhenChildless);

    Child<QComboBox>(dialog, "trialOperation")->setCurrentIndex(4);  // 删除部门
    auto* target = Child<QLineEdit>(dialog, "trialTarget");
    EXPECT_EQ(target->text(), "\\销售部");  // his first department to start with
    target->setText("  \\研发部 ");
    QTest::keyClick(target, Qt::Key_Return);
    EXPECT_EQ(Child<QLabel>(dialog, "trialAnswer")->text(), "拒绝: 只能管理自己的部门 (\\研发部)");
    EXPECT_TRUE(m_sink.shown.empty());
}

TEST_F(DialogWidgetTest, AdminEditorLocksAChosenNameSavesNotOnReturnAndDeletesWithDelete) {
    m_transport.replies["QueryUserAdminDepts.asp?username=carol"] = "|";
    m_transport.replies["QueryUserAdminDepts.asp?username="] = "|";
    for (const char* account : {"carol", ""}) {  // "设为管理员", "添加管理员"
        AdminEditorLogic fresh(m_transport, m_sink, m_login, account, false, nullptr, "\\销售部");
        AdminEditorDialog editor(fresh);
        editor.show();
        QApplication::setActiveWindow(&editor);
        auto* name = Child<QLineEdit>(editor, "adminName");
        EXPECT_EQ(name->isReadOnly(), *account != '\0') << account;
        name->setFocus();
        QTest::keyClick(name, Qt::Key_Return);
        EXPECT_EQ(m_transport.CountStartingWith("CheckUserExist.asp"), 0) << account;
        EXPECT_TRUE(editor.isVisible());
    }

    m_transport.replies["QueryUserAdminDepts.asp?username=bob"] = "|\\销售部;\\研发部;";
    AdminEditorLogic logic(m_transport, m_sink, m_login, "bob", true, nullptr, "");
    AdminEditorDialog dialog(logic);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.windowTitle(), Q("修改分级管理员"));
    auto* name = Child<QLineEdit>(dialog, "adminName");
    EXPECT_EQ(name->text(), "bob");
    EXPECT_TRUE(name->isReadOnly() && LooksReadOnly(name));
    auto* managed = Child<QListWidget>(dialog, "managedDepts");
    ASSERT_EQ(managed->count(), 2);
    managed->setFocus();
    managed->setCurrentRow(0);
    QTest::keyClick(managed, Qt::Key_Delete);
    ASSERT_EQ(managed->count(), 1);
    EXPECT_EQ(managed->currentRow(), 0);
    EXPECT_TRUE(managed->item(0)->isSelected());
}

TEST_F(DialogWidgetTest, AuditLogFillsFromTheEventLoopFiltersExportsEverythingAndSaysOffline) {
    // 450 entries, served newest first a page at a time after the cursor.
    m_transport.fallback = [](const std::string& request) -> std::string {
        if (request.rfind("GetAuditLog.asp?", 0) != 0) return {};
        const bool onlyBob = request.find("`account=bob`") != std::string::npos;
        if (request.find("`total=1") != std::string::npos) return onlyBob ? "total:0" : "total:450";
        int64_t before = 451;
        if (auto at = request.find("`beforeid="); at != std::string::npos) {
            before = std::stoll(request.substr(at + 10));
        }
        const size_t count = std::stoul(request.substr(request.find("`count=") + 7));
        std::vector<AuditRecord> page;
        for (int64_t id = before - 1; id >= 1 && page.size() < count && !onlyBob; --id) {
            page.push_back({id, "2024-05-01T08:00:00.000Z", "admin", "super", "10.0.0.1", 1,
                            "DeptDelete.asp", "\\部门" + std::to_string(id), "info:删除部门成功",
                            ""});
        }
        return FormatAuditLog(page);
    };
    AuditLogLogic logic(m_transport, m_sink);
    AuditExport exporter(m_transport, m_sink, logic.Zone());
    AuditLogDialog dialog(logic, exporter);
    dialog.show();
    auto* entries = Child<QTreeView>(dialog, "entries");
    auto* status = Child<QLabel>(dialog, "status");
    EXPECT_EQ(entries->model()->rowCount(), 200) << "the first page comes with the window";
    EXPECT_TRUE(QTest::qWaitFor([&] { return logic.Complete(); }, 5000));
    EXPECT_EQ(entries->model()->rowCount(), 450);
    EXPECT_EQ(status->text(), Q("共 450 条"));
    EXPECT_EQ(entries->model()->index(0, 4).data().toString(), Q("删除部门"));
    EXPECT_EQ(entries->model()->index(0, 6).data().toString(), Q("成功: 删除部门成功"));
    EXPECT_TRUE(entries->model()->headerData(0, Qt::Horizontal).toString().startsWith("时间(UTC"));
    EXPECT_GE(entries->columnWidth(6), entries->fontMetrics().horizontalAdvance(Q("成功: 删除部门成功")));

    // Every entry of the search, not the rows selected or read so far.
    TempDir dir;
    QString asked;
    dialog.askExportFile = [&](const QString& title) {
        asked = title;
        return QString::fromStdString((dir.Path() / "a.csv").string());
    };
    entries->selectionModel()->select(entries->model()->index(1, 0),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Click(dialog, "export");
    EXPECT_EQ(asked, Q("导出CSV: 当前查询条件的全部 450 条"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return exporter.Done(); }, 5000));
    std::ifstream csv(dir.Path() / "a.csv", std::ios::binary);
    int lines = 0;
    for (std::string line; std::getline(csv, line);) ++lines;
    EXPECT_EQ(lines, 451);
    EXPECT_TRUE(status->text().startsWith(Q("已导出 450 条到 "))) << status->text().toStdString();

    Child<QComboBox>(dialog, "outcome")->setCurrentIndex(2);  // 拒绝
    Child<QLineEdit>(dialog, "account")->setText("bob");
    Click(dialog, "search");
    EXPECT_NE(m_transport.requests.back().find("`account=bob`"), std::string::npos);
    EXPECT_NE(m_transport.requests.back().find("`outcome=refused"), std::string::npos);
    EXPECT_EQ(entries->model()->rowCount(), 0);
    EXPECT_EQ(status->text(), Q("共 0 条"));

    // Without a connection an empty list is not "共 0 条".
    m_transport.connected = false;
    m_transport.fallback = nullptr;
    Click(dialog, "search");
    EXPECT_EQ(status->text(), Q("与服务器的连接已断开"));
}

TEST_F(DialogWidgetTest, EveryMenuCommandHasItsDialog) {
    DialogRegistry registry;
    RegisterConsoleDialogs(registry);
    MainWindow window(m_transport, m_sink, m_login, registry);
    for (ConsoleCommand command :
         {ConsoleCommand::kAddDept, ConsoleCommand::kChangeDept, ConsoleCommand::kOrderDept,
          ConsoleCommand::kAddUser, ConsoleCommand::kEditUser, ConsoleCommand::kMakeAdmin,
          ConsoleCommand::kManageAdmins, ConsoleCommand::kChangePassword,
          ConsoleCommand::kManageRoles, ConsoleCommand::kAuditLog, ConsoleCommand::kExportUsers,
          ConsoleCommand::kImportUsers}) {
        ASSERT_NE(window.CommandAction(command), nullptr);
        EXPECT_TRUE(window.CommandAction(command)->isEnabled()) << static_cast<int>(command);
    }
}

}  // namespace
}  // namespace warden::console::test

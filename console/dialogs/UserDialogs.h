// The user editor ("添加用户" / "修改用户信息") and the dialog "用户角色管理":
// each binds its controls to its logic class.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "console/dialogs/UserEditorLogic.h"
#include "console/dialogs/UserRolesLogic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace warden::console {

class DeptPickerView;

class UserRolesDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog; the dialog calls Open().
    explicit UserRolesDialog(UserRolesLogic& logic, QWidget* parent = nullptr);

  private:
    void Refresh();

    UserRolesLogic& m_logic;
    QListWidget* m_available;
    QListWidget* m_given;
    QPushButton* m_takeBack;
};

class UserEditorDialog final : public QDialog {
    Q_OBJECT

  public:
    // Opens "用户角色管理" for the roles text given; true when it was
    // confirmed, the text then holding the new roles.
    using RolesEditor = std::function<bool(QWidget* parent, std::string& roles)>;

    // REQUIRES: `logic` outlives the dialog; the dialog calls Open().
    UserEditorDialog(UserEditorLogic& logic, RolesEditor editRoles, QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowForm(const UserForm& form);
    UserForm ReadForm() const;
    void OnSubmit();

    UserEditorLogic& m_logic;
    RolesEditor m_editRoles;
    QLineEdit* m_account;
    QLineEdit* m_password;
    QLabel* m_passwordNote;
    QLineEdit* m_name;
    QComboBox* m_level;
    QComboBox* m_gender;
    QLineEdit* m_position;
    QLineEdit* m_mobile;
    QLineEdit* m_phone;
    QLineEdit* m_email;
    QLineEdit* m_roles;
    QListWidget* m_depts;
    DeptPickerView* m_tree;
};

}  // namespace warden::console

// The role manager "角色管理" and its dialogs "添加角色" and "权限设置": each
// binds its controls to the logic of RoleManagerLogic.h.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/dialogs/RoleManagerLogic.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace warden::console {

class RoleManagerDialog final : public QDialog {
    Q_OBJECT

  public:
    // The transport and sink serve the two dialogs it opens.
    // REQUIRES: every reference outlives the dialog; the dialog calls Open().
    RoleManagerDialog(RoleManagerLogic& logic, Transport& transport, MessageSink& sink,
                      QWidget* parent = nullptr);

  private:
    void Refresh();
    void OnRoleClicked();
    void OnEditRight();
    void OnAddRole();

    RoleManagerLogic& m_logic;
    Transport& m_transport;
    MessageSink& m_sink;
    QListWidget* m_roles;
    QTreeWidget* m_rights;
    QLineEdit* m_name;
    QPlainTextEdit* m_description;
    QPushButton* m_update;
    QPushButton* m_editRight;
    QPushButton* m_delete;
};

// The pair of 拒绝 / 允许 buttons of a right: one of them, or neither.
class RightChoiceButtons {
  public:
    explicit RightChoiceButtons(QWidget* parent);
    QRadioButton* Deny() const { return m_deny; }
    QRadioButton* Allow() const { return m_allow; }
    void Show(RightChoice choice);
    RightChoice Choice() const;

  private:
    QRadioButton* m_deny;
    QRadioButton* m_allow;
};

class RightSettingDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog.
    explicit RightSettingDialog(RightSettingLogic& logic, QWidget* parent = nullptr);

  private:
    RightSettingLogic& m_logic;
    RightChoiceButtons m_choice;
};

class AddRoleDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog; the dialog calls Open().
    explicit AddRoleDialog(AddRoleLogic& logic, QWidget* parent = nullptr);

  private:
    AddRoleLogic& m_logic;
    QLineEdit* m_name;
    QPlainTextEdit* m_description;
    QTreeWidget* m_rights;
    RightChoiceButtons m_choice;
};

}  // namespace warden::console

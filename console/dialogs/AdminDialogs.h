// The administrator list "分级管理员管理" and the administrator editor
// ("添加分级管理员" / "修改分级管理员"): each binds its controls to the logic
// of AdminLogic.h.
//
// Thread-safety: GUI thread only.
#pragma once

#include <QDialog>

#include "console/dialogs/AdminLogic.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QTreeWidget;

namespace warden::console {

class DeptPickerView;

class AdminEditorDialog final : public QDialog {
    Q_OBJECT

  public:
    // REQUIRES: `logic` outlives the dialog; the dialog calls Open().
    explicit AdminEditorDialog(AdminEditorLogic& logic, QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Refresh();

    AdminEditorLogic& m_logic;
    QLineEdit* m_name;
    DeptPickerView* m_tree;
    QListWidget* m_managed;
    QListWidget* m_available;
    QListWidget* m_given;
};

class AdminListDialog final : public QDialog {
    Q_OBJECT

  public:
    // The transport, sink and login serve the editors it opens.
    // REQUIRES: every reference outlives the dialog; the dialog calls Open().
    AdminListDialog(AdminListLogic& logic, Transport& transport, MessageSink& sink,
                    const LoginState& login, QWidget* parent = nullptr);

  private:
    void Refresh();
    void OpenEditor(bool update);

    AdminListLogic& m_logic;
    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
    QTreeWidget* m_admins;  // account, name, departments and roles of each
    QListWidget* m_depts;
};

}  // namespace warden::console

// The dialogs that the main window opens from its menus. Each dialog module
// registers an opener for its command; a command without one is shown
// disabled. An opener gets everything a dialog may read or change.
//
// Thread-safety: GUI thread only.
#pragma once

#include <functional>
#include <map>

#include <QString>

#include "console/core/LoginState.h"
#include "console/core/MainWindowLogic.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"

class QWidget;

namespace warden::console {

enum class ConsoleCommand {
    kAddDept,         // "添加部门"
    kChangeDept,      // "更改部门"
    kOrderDept,       // "修改部门顺序"
    kAddUser,         // "添加用户"
    kEditUser,        // "修改用户", or a double click on a user row
    kMakeAdmin,       // "设为管理员"
    kManageAdmins,    // "分级管理员管理"
    kChangePassword,  // "修改管理员密码"
    kManageRoles,     // "角色管理"
    kAuditLog,        // "操作日志"
    kExportUsers,     // "导出用户..."
    kImportUsers,     // "导入用户..."
};

struct DialogContext {
    QWidget* owner;           // the main window: the modal dialog's parent
    MainWindowLogic& window;  // current department and user row, rows, ReloadDeptTree
    const LoginState& login;
    Transport& transport;
    MessageSink& sink;
    QString rolesText;  // the "角色:" box of the user information panel
};

using DialogOpener = std::function<void(DialogContext&)>;

class DialogRegistry {
  public:
    void Register(ConsoleCommand command, DialogOpener opener);
    bool Has(ConsoleCommand command) const;
    // Runs the opener of `command`; false when none is registered.
    bool Open(ConsoleCommand command, DialogContext& context) const;

  private:
    std::map<ConsoleCommand, DialogOpener> m_openers;
};

}  // namespace warden::console

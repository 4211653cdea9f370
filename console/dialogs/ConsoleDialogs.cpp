#include "console/dialogs/ConsoleDialogs.h"

#include "console/dialogs/AdminDialogs.h"
#include "console/dialogs/AuditLogDialog.h"
#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/DeptDialogs.h"
#include "console/dialogs/DialogWidgets.h"
#include "console/dialogs/RoleDialogs.h"
#include "console/dialogs/UserDialogs.h"
#include "console/dialogs/UserExportDialog.h"
#include "console/dialogs/UserImportDialog.h"

namespace warden::console {

namespace {

void OpenChangePassword(DialogContext& context) {
    ChangePasswordLogic logic(context.transport, context.sink, context.login);
    ChangePasswordDialog dialog(logic, context.owner);
    dialog.exec();
}

void OpenAddDept(DialogContext& context) {
    AddDeptLogic logic(context.transport, context.sink, context.window);
    AddDeptDialog dialog(logic, context.owner);
    dialog.exec();
}

void OpenChangeDept(DialogContext& context) {
    ChangeDeptLogic logic(context.transport, context.sink, context.window);
    ChangeDeptDialog dialog(logic, context.owner);
    dialog.exec();
}

void OpenOrderDept(DialogContext& context) {
    OrderDeptLogic logic(context.transport, context.sink, context.window,
                         context.window.CurrentDeptPath());
    OrderDeptDialog dialog(logic, context.owner);
    dialog.exec();
}

bool EditUserRoles(DialogContext& context, QWidget* parent, std::string& roles) {
    UserRolesLogic logic(context.transport, context.sink, context.login, roles);
    UserRolesDialog dialog(logic, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    roles = logic.RolesText();
    return true;
}

void OpenUserEditor(DialogContext& context, UserEditorMode mode) {
    std::string roles = mode == UserEditorMode::kUpdate ? S(context.rolesText) : std::string();
    UserEditorLogic logic(context.transport, context.sink, context.window, mode,
                          context.window.CurrentDeptPath(), std::move(roles));
    UserEditorDialog dialog(
        logic,
        [&context](QWidget* parent, std::string& text) {
            return EditUserRoles(context, parent, text);
        },
        context.owner);
    dialog.exec();
}

void OpenRoleManager(DialogContext& context) {
    RoleManagerLogic logic(context.transport, context.sink);
    RoleManagerDialog dialog(logic, context.transport, context.sink, context.owner);
    dialog.exec();
}

void OpenAdminList(DialogContext& context) {
    AdminListLogic logic(context.transport, context.sink);
    AdminListDialog dialog(logic, context.transport, context.sink, context.login, context.owner);
    dialog.exec();
}

// "设为管理员": the editor for the account of the main window's current user
// row, which this uses up.
void OpenMakeAdmin(DialogContext& context) {
    int row = context.window.TakeCurrentUserRow();
    if (row == 0 || row > context.window.Users().Size()) return;
    AdminEditorLogic logic(context.transport, context.sink, context.login,
                           context.window.Users().At(row - 1).Account(), false, nullptr,
                           context.window.CurrentDeptPath());
    AdminEditorDialog dialog(logic, context.owner);
    dialog.exec();
}

void OpenAuditLog(DialogContext& context) {
    AuditLogLogic logic(context.transport, context.sink);
    AuditExport exporter(context.transport, context.sink, logic.Zone());
    AuditLogDialog dialog(logic, exporter, context.owner);
    dialog.exec();
}

void OpenUserExport(DialogContext& context) {
    UserExportLogic logic(context.transport, context.sink, context.window.CurrentDeptPath());
    UserExportDialog dialog(logic, context.owner);
    dialog.exec();
}

// The import starts with the choice of its file; without one nothing opens.
// Afterwards the user list shows the department as the import left it.
void OpenUserImport(DialogContext& context) {
    UserImportLogic logic(context.transport, context.sink, context.login);
    UserImportDialog dialog(logic, context.owner);
    if (!dialog.ChooseFile()) return;
    dialog.exec();
    if (logic.Count(ImportState::kAdded) + logic.Count(ImportState::kUpdated) > 0) {
        context.window.LoadDeptUsers(context.window.CurrentDeptPath());
    }
}

}  // namespace

void RegisterConsoleDialogs(DialogRegistry& registry) {
    registry.Register(ConsoleCommand::kChangePassword, OpenChangePassword);
    registry.Register(ConsoleCommand::kAddDept, OpenAddDept);
    registry.Register(ConsoleCommand::kChangeDept, OpenChangeDept);
    registry.Register(ConsoleCommand::kOrderDept, OpenOrderDept);
    registry.Register(ConsoleCommand::kManageRoles, OpenRoleManager);
    registry.Register(ConsoleCommand::kManageAdmins, OpenAdminList);
    registry.Register(ConsoleCommand::kMakeAdmin, OpenMakeAdmin);
    registry.Register(ConsoleCommand::kAuditLog, OpenAuditLog);
    registry.Register(ConsoleCommand::kExportUsers, OpenUserExport);
    registry.Register(ConsoleCommand::kImportUsers, OpenUserImport);
    registry.Register(ConsoleCommand::kAddUser, [](DialogContext& context) {
        OpenUserEditor(context, UserEditorMode::kAdd);
    });
    registry.Register(ConsoleCommand::kEditUser, [](DialogContext& context) {
        OpenUserEditor(context, UserEditorMode::kUpdate);
    });
}

}  // namespace warden::console

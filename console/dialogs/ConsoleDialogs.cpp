#include "console/dialogs/ConsoleDialogs.h"

#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/DeptDialogs.h"
#include "console/dialogs/DialogWidgets.h"
#include "console/dialogs/RoleDialogs.h"
#include "console/dialogs/UserDialogs.h"

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

}  // namespace

void RegisterConsoleDialogs(DialogRegistry& registry) {
    registry.Register(ConsoleCommand::kChangePassword, OpenChangePassword);
    registry.Register(ConsoleCommand::kAddDept, OpenAddDept);
    registry.Register(ConsoleCommand::kChangeDept, OpenChangeDept);
    registry.Register(ConsoleCommand::kOrderDept, OpenOrderDept);
    registry.Register(ConsoleCommand::kManageRoles, OpenRoleManager);
    registry.Register(ConsoleCommand::kAddUser, [](DialogContext& context) {
        OpenUserEditor(context, UserEditorMode::kAdd);
    });
    registry.Register(ConsoleCommand::kEditUser, [](DialogContext& context) {
        OpenUserEditor(context, UserEditorMode::kUpdate);
    });
}

}  // namespace warden::console

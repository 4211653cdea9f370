#include "console/dialogs/ConsoleDialogs.h"

#include "console/dialogs/ChangePasswordDialog.h"
#include "console/dialogs/DeptDialogs.h"

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

}  // namespace

void RegisterConsoleDialogs(DialogRegistry& registry) {
    registry.Register(ConsoleCommand::kChangePassword, OpenChangePassword);
    registry.Register(ConsoleCommand::kAddDept, OpenAddDept);
    registry.Register(ConsoleCommand::kChangeDept, OpenChangeDept);
    registry.Register(ConsoleCommand::kOrderDept, OpenOrderDept);
}

}  // namespace warden::console

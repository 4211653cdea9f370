#include "console/dialogs/ConsoleDialogs.h"

#include "console/dialogs/ChangePasswordDialog.h"

namespace warden::console {

namespace {

void OpenChangePassword(DialogContext& context) {
    ChangePasswordLogic logic(context.transport, context.sink, context.login);
    ChangePasswordDialog dialog(logic, context.owner);
    dialog.exec();
}

}  // namespace

void RegisterConsoleDialogs(DialogRegistry& registry) {
    registry.Register(ConsoleCommand::kChangePassword, OpenChangePassword);
}

}  // namespace warden::console

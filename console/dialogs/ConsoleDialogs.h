// Plugs the console's dialogs into the main window: one opener per menu
// command that has a dialog.
#pragma once

#include "console/core/DialogRegistry.h"

namespace warden::console {

void RegisterConsoleDialogs(DialogRegistry& registry);

}  // namespace warden::console

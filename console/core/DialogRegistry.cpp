#include "console/core/DialogRegistry.h"

#include <QString>

namespace warden::console {

void DialogRegistry::Register(ConsoleCommand command, DialogOpener opener) {
    m_openers[command] = std::move(opener);
}

bool DialogRegistry::Has(ConsoleCommand command) const {
    return m_openers.find(command) != m_openers.end();
}

bool DialogRegistry::Open(ConsoleCommand command, DialogContext& context) const {
    auto found = m_openers.find(command);
    if (found == m_openers.end()) return false;
    found->second(context);
    return true;
}

}  // namespace warden::console

#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/AdminHandlers.h"
#include "server/dispatch/Dispatcher.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    RegisterAdminHandlers(dispatcher);
}

}  // namespace warden

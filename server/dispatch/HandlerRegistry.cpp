#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/AdminHandlers.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/OrderingHandlers.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    RegisterAdminHandlers(dispatcher);
    RegisterOrderingHandlers(dispatcher);
}

}  // namespace warden

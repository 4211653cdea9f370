#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/OrderingHandlers.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    (void)dispatcher;  // handler groups are added here as they are built
    RegisterOrderingHandlers(dispatcher);
}

}  // namespace warden

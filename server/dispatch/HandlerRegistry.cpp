#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/Dispatcher.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    (void)dispatcher;  // handler groups are added here as they are built
}

}  // namespace warden

#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/DirectoryChangeHandlers.h"
#include "server/dispatch/DirectoryQueryHandlers.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/RoleHandlers.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    (void)dispatcher;  // handler groups are added here as they are built
    RegisterDirectoryQueryHandlers(dispatcher);
    RegisterDirectoryChangeHandlers(dispatcher);
    RegisterRoleHandlers(dispatcher);
}

}  // namespace warden

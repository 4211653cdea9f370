#include "server/dispatch/HandlerRegistry.h"

#include "server/dispatch/AdminHandlers.h"
#include "server/dispatch/AuditHandlers.h"
#include "server/dispatch/DirectoryChangeHandlers.h"
#include "server/dispatch/DirectoryQueryHandlers.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/OrderingHandlers.h"
#include "server/dispatch/PermissionHandlers.h"
#include "server/dispatch/RoleHandlers.h"
#include "server/dispatch/SearchHandlers.h"

namespace warden {

void RegisterAllHandlers(Dispatcher& dispatcher) {
    RegisterAdminHandlers(dispatcher);
    RegisterOrderingHandlers(dispatcher);
    RegisterDirectoryQueryHandlers(dispatcher);
    RegisterDirectoryChangeHandlers(dispatcher);
    RegisterRoleHandlers(dispatcher);
    RegisterAuditHandlers(dispatcher);
    RegisterSearchHandlers(dispatcher);
    RegisterPermissionHandlers(dispatcher);
}

}  // namespace warden

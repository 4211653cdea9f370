// Handlers of the requests about the IM directory's roles and their rights.
// None catches a directory failure: each one gets the general error reply.
#pragma once

namespace warden {

class Dispatcher;

void RegisterRoleHandlers(Dispatcher& dispatcher);

}  // namespace warden

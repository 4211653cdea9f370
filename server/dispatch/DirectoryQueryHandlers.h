// Handlers of the requests that read the IM directory: an account's
// existence, child departments, the users of a department, a user's record,
// departments and roles. None catches a directory failure: each one gets the
// general error reply.
#pragma once

namespace warden {

class Dispatcher;

void RegisterDirectoryQueryHandlers(Dispatcher& dispatcher);

}  // namespace warden

// Handlers of the requests that change the IM directory's departments and
// users. Several catch directory failures themselves and answer with their
// own texts; the rest get the general error reply.
#pragma once

namespace warden {

class Dispatcher;

void RegisterDirectoryChangeHandlers(Dispatcher& dispatcher);

}  // namespace warden

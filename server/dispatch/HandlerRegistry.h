// Installs every request handler the server has into a dispatcher. Each group
// of handlers lives in its own file and exposes one Register… function.
#pragma once

namespace warden {

class Dispatcher;

void RegisterAllHandlers(Dispatcher& dispatcher);

}  // namespace warden

// What a request handler sees, and its shape. A handler reads its parameters,
// calls the back-ends and returns its reply; an empty reply sends nothing.
// A failure it does not handle itself is thrown: the dispatcher answers it
// with the general error reply.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ParamMap.h"
#include "server/dispatch/AdminScope.h"
#include "server/dispatch/Services.h"
#include "server/net/Session.h"

namespace warden {

class Delegation;

struct RequestContext {
    const ParamMap& params;
    Session& session;
    Services& services;
    // The sender's scope when he is a second-level administrator, for
    // replies that list only what he may see; null when nothing is limited.
    const AdminScope* scope = nullptr;
    // The rules that decided this request, for requests that ask about them;
    // null when nothing is checked (logins are off).
    Delegation* delegation = nullptr;

    const std::string& Param(std::string_view key) const { return GetParam(params, key); }
};

using Handler = std::function<std::string(RequestContext&)>;

// A handler's answer when this request needs no back-end (the reply follows
// from the request and the session alone); nullopt when it does. It runs on
// the thread that serves the network, so it must never block or wait.
using QuickHandler = std::function<std::optional<std::string>(RequestContext&)>;

}  // namespace warden

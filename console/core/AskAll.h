// Several independent requests at once: over a connection that carries
// requests ahead of their replies they go out in bursts of the transport's
// window, so a list of N entries costs a few round trips instead of N.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "console/core/Transport.h"

namespace warden::console {

// A request's name and its parameters, as SendRequest takes them.
using Request = std::pair<std::string, std::string>;

// The reply to each of `requests`, in their order; the empty text for one
// that got none (as SendRequest). Shows nothing. One at a time where the
// connection carries one request at a time, or while requests posted by
// someone else still await their results (their replies are not taken).
std::vector<std::string> AskAll(Transport& transport, const std::vector<Request>& requests);

}  // namespace warden::console

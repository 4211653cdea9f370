// The seam between the network engine and whatever answers requests.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/net/Session.h"

namespace warden {

// Ends one request with its reply (UTF-8). Must be called exactly once per
// request, from any thread, possibly after the processor has returned (work
// handed to another pool completes the request from there); later calls are
// ignored. An empty text sends no reply. Only after the call does the
// connection read its next request. A sink whose every copy is destroyed
// without a call answers the general error reply, so no connection is left
// waiting for ever.
using ReplySink = std::function<void(const std::string& reply)>;

// Handles one trimmed, non-empty, UTF-8 request text. Runs on a worker
// thread. `session` stays valid, and nobody else touches it, until the sink
// has been called. A processor that throws before answering has answered the
// general error reply.
using RequestProcessor =
    std::function<void(std::string_view request, Session& session, const ReplySink& reply)>;

// Answers at once, on the thread that serves the network, a request (as the
// processor gets it) whose reply needs no back-end: the reply the processor
// would send (UTF-8; empty: none), or nullopt to have a worker process it.
// It must never block or wait: every connection waits while it runs.
using QuickAnswer =
    std::function<std::optional<std::string>(std::string_view request, Session& session)>;

}  // namespace warden

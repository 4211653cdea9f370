// The seam between the network engine and whatever answers requests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "server/net/Session.h"

namespace warden {

// Sends one reply (UTF-8) on the request's connection.
using ReplySink = std::function<void(const std::string& reply)>;

// Handles one trimmed, non-empty, UTF-8 request text and answers through the
// sink, at most once. Runs on a worker thread.
using RequestProcessor =
    std::function<void(std::string_view request, Session& session, const ReplySink& reply)>;

}  // namespace warden

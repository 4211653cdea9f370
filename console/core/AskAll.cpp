#include "console/core/AskAll.h"

#include <deque>

namespace warden::console {

std::vector<std::string> AskAll(Transport& transport, const std::vector<Request>& requests) {
    std::vector<std::string> replies(requests.size());
    const int window = transport.PipelineWindow();
    if (window <= 1 || transport.Posted() > 0) {
        for (size_t i = 0; i < requests.size(); ++i) {
            replies[i] = transport.SendRequest(requests[i].first, requests[i].second);
        }
        return replies;
    }
    // Each wait is short, and the transport gives every posted request a
    // result (the empty text once its time-out has passed), so this ends.
    constexpr int kWaitMs = 20;
    std::deque<size_t> awaited;
    size_t next = 0;
    while (next < requests.size() || !awaited.empty()) {
        // Topped up once half the window has come back, so that the requests
        // go out in bursts rather than one write per reply taken.
        if (transport.Posted() <= window / 2) {
            for (; next < requests.size() && transport.Posted() < window; ++next) {
                // A request that cannot be sent (no connection) keeps its empty reply.
                if (transport.PostRequest(requests[next].first, requests[next].second)) {
                    awaited.push_back(next);
                }
            }
        }
        if (awaited.empty()) continue;
        std::optional<std::string> reply = transport.TakeReply(kWaitMs);
        if (!reply) continue;
        replies[awaited.front()] = std::move(*reply);
        awaited.pop_front();
    }
    return replies;
}

}  // namespace warden::console

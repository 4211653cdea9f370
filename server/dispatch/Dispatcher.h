// Finds the handler of a request by name and sends its one reply.
// Handlers are installed at start-up by the files that define them; a name of
// the request table whose handler is not installed behaves like an unknown one.
//
// Thread-safety: Register only before the first request; ProcessRequest from
// any number of workers at once (the dispatcher itself has no mutable state).
#pragma once

#include <array>
#include <string_view>

#include "server/dispatch/Handler.h"
#include "server/dispatch/RequestTable.h"
#include "server/net/RequestProcessor.h"

namespace warden {

// Sends `reply` unless it is empty: an empty text cannot travel as a message.
void SendReply(const ReplySink& sink, const std::string& reply);

class Dispatcher {
  public:
    // `requireLogin`: refuse every request but the login on a connection that
    // has not logged in.
    Dispatcher(Services& services, bool requireLogin);

    // REQUIRES: `name` is a name of the request table, as the table spells it.
    void Register(std::string_view name, Handler handler);

    void ProcessRequest(std::string_view request, Session& session, const ReplySink& sink) const;

  private:
    // Writes the request's entry to the audit trail when it needs one.
    void Audit(std::string_view name, const ParamMap& params, const Session& session,
               const std::string& reply) const;

    Services& m_services;
    const bool m_requireLogin;
    std::array<Handler, kRequestCount> m_handlers;
};

// The reply to a request on a connection that has not logged in.
inline constexpr const char kLoginRequired[] = "error:请先登录";
// The reply to a second-level administrator asking for a super administrator's change.
inline constexpr const char kNotPermitted[] = "error:没有权限执行此操作";

}  // namespace warden

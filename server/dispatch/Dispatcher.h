// Finds the handler of a request by name and sends its one reply.
// Handlers are installed at start-up by the files that define them; a name of
// the request table whose handler is not installed behaves like an unknown one.
//
// Before a handler runs, the delegation check decides whether the sender may
// have the request carried out (see Delegation.h); a refusal is the reply.
//
// A request that needs no back-end (a refusal that the session alone decides,
// an unknown name, a reply a quick handler can give) may be answered at once
// by AnswerAtOnce, sparing it the trip to a worker.
//
// Thread-safety: Register and RegisterQuick only before the first request;
// ProcessRequest and AnswerAtOnce from any number of threads at once (the only
// state is the delegation check's cache, which guards itself).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "server/dispatch/Delegation.h"
#include "server/dispatch/Handler.h"
#include "server/dispatch/RequestTable.h"
#include "server/net/RequestProcessor.h"

namespace warden {

// Ends the request with `reply`; an empty text cannot travel as a message, so
// it ends the request without a reply.
void SendReply(const ReplySink& sink, const std::string& reply);

// Logs `session` out when its login was ended from elsewhere (its account's
// password changed), so that its request is refused as one without a login.
void EndIfEnded(Session& session);

class Dispatcher {
  public:
    // `requireLogin`: refuse every request but the login on a connection that
    // has not logged in, and enforce delegation. Without it nothing is
    // checked: connections have no sessions that limit them.
    Dispatcher(Services& services, bool requireLogin);

    // REQUIRES: `name` is a name of the request table, as the table spells it.
    void Register(std::string_view name, Handler handler);

    // Adds a quick handler beside the request's handler. REQUIRES: `name` is
    // registered and its request changes nothing.
    void RegisterQuick(std::string_view name, QuickHandler handler);

    void ProcessRequest(std::string_view request, Session& session, const ReplySink& sink) const;

    // The reply ProcessRequest would send (empty: none) when it needs no
    // back-end; nullopt otherwise. Never blocks. Throws only what parsing
    // may (memory).
    std::optional<std::string> AnswerAtOnce(std::string_view request, Session& session) const;

  private:
    // Writes the request's entry to the audit trail when it needs one: a
    // login, a change, or a refusal by the delegation rules (sampled per
    // connection and kind).
    void Audit(const RequestEntry& entry, const ParamMap& params, Session& session,
               Standing standing, const std::string& reply) const;

    Services& m_services;
    const bool m_requireLogin;
    std::array<Handler, kRequestCount> m_handlers;
    std::array<QuickHandler, kRequestCount> m_quickHandlers;
    mutable Delegation m_delegation;
};

}  // namespace warden

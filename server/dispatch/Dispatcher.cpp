#include "server/dispatch/Dispatcher.h"

#include <stdexcept>

#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/FieldLimits.h"
#include "server/dispatch/LoginFlow.h"

namespace warden {

void SendReply(const ReplySink& sink, const std::string& reply) {
    if (!reply.empty()) sink(reply);
}

Dispatcher::Dispatcher(Services& services, bool requireLogin)
    : m_services(services), m_requireLogin(requireLogin) {}

void Dispatcher::Register(std::string_view name, Handler handler) {
    const auto& table = RequestTable();
    for (size_t i = 0; i < table.size(); ++i) {
        if (table[i].name == name) {
            m_handlers[i] = std::move(handler);
            return;
        }
    }
    throw std::logic_error("no request named " + std::string(name));
}

void Dispatcher::ProcessRequest(std::string_view request, Session& session,
                                const ReplySink& sink) const {
    std::string reply;
    ParsedRequest parsed;
    std::optional<size_t> index;
    try {
        parsed = ParseRequest(request);
        index = FindRequest(parsed.name);
        if (!index || !m_handlers[*index]) return;  // unknown request: no reply
        // A login over the field limits is refused below, like any request.
        if (m_services.login && RequestTable()[*index].name == req::kLoginCheck &&
            !CheckFieldLimits(req::kLoginCheck, parsed.params)) {
            // Answered from the hashing pool, which also writes its entry.
            m_services.login->Run(m_handlers[*index], std::move(parsed.params), session, m_services,
                                  Peer{}, sink);
            return;
        }
        const Access access = RequestTable()[*index].access;
        if (m_requireLogin && access != Access::kAnyone && session.login == LoginLevel::kNone) {
            reply = kLoginRequired;
        } else if (m_requireLogin && access == Access::kSuper &&
                   session.login != LoginLevel::kSuper) {
            reply = kNotPermitted;
        } else if (auto refusal = CheckFieldLimits(RequestTable()[*index].name, parsed.params)) {
            reply = *refusal;  // nothing is written: the handler does not run
        } else {
            RequestContext context{parsed.params, session, m_services};
            reply = m_handlers[*index](context);
        }
    } catch (...) {
        // A back-end failure, a database error or an allocation failure: the
        // rest of the handler is skipped and the console hears of it.
        reply = reply::kGeneralError;
    }
    // Written before the reply goes, so no console sees a change that the
    // trail does not hold.
    if (index) Audit(RequestTable()[*index].name, parsed.params, session, reply);
    SendReply(sink, reply);
}

void Dispatcher::Audit(std::string_view name, const ParamMap& params, const Session& session,
                       const std::string& reply) const {
    if (!m_services.audit || reply.empty()) return;
    // Without a session nobody is accountable, and an unauthenticated flood
    // must not be able to fill the trail.
    if (reply == kLoginRequired) return;
    const bool login = name == req::kLoginCheck;
    if (!login && !IsChangeRequest(name) && reply != kNotPermitted) return;
    try {
        if (login) {
            // The account tried, and the level the login granted.
            const bool granted = reply.starts_with("success");
            m_services.audit->Write(MakeAuditRecord(
                name, params, GetParam(params, "username"),
                granted ? AuditLevelOf(session.login) : audit_level::kNone, Peer{}, reply));
        } else {
            m_services.audit->Write(MakeAuditRecord(name, params, session.account,
                                                    AuditLevelOf(session.login), Peer{}, reply));
        }
    } catch (const std::exception&) {
        // Only an allocation can fail here; the reply still goes.
    }
}

}  // namespace warden

#include "server/dispatch/Dispatcher.h"

#include <stdexcept>

#include "protocol/Replies.h"
#include "server/dispatch/FieldLimits.h"

namespace warden {

void SendReply(const ReplySink& sink, const std::string& reply) {
    sink(reply);
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
    try {
        ParsedRequest parsed = ParseRequest(request);
        auto index = FindRequest(parsed.name);
        if (!index || !m_handlers[*index]) return SendReply(sink, "");  // unknown: no reply
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
    SendReply(sink, reply);
}

}  // namespace warden

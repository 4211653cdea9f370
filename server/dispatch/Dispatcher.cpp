#include "server/dispatch/Dispatcher.h"

#include <stdexcept>

#include "protocol/Replies.h"
#include "server/dispatch/FieldLimits.h"

namespace warden {

namespace {

// Tells the delegation check that a change has run, also when it failed half
// way, once it has ended.
class ChangeNotice {
  public:
    ChangeNotice(Delegation& delegation, bool changes)
        : m_delegation(changes ? &delegation : nullptr) {}
    ~ChangeNotice() {
        if (m_delegation) m_delegation->Changed();
    }
    ChangeNotice(const ChangeNotice&) = delete;
    ChangeNotice& operator=(const ChangeNotice&) = delete;

  private:
    Delegation* m_delegation;
};

}  // namespace

void SendReply(const ReplySink& sink, const std::string& reply) {
    sink(reply);
}

Dispatcher::Dispatcher(Services& services, bool requireLogin)
    : m_services(services), m_requireLogin(requireLogin), m_delegation(services) {}

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

void Dispatcher::RegisterQuick(std::string_view name, QuickHandler handler) {
    auto index = FindRequest(name);
    if (!index || !m_handlers[*index] || RequestTable()[*index].effect != Effect::kReads) {
        throw std::logic_error("no quick answer for " + std::string(name));
    }
    m_quickHandlers[*index] = std::move(handler);
}

std::optional<std::string> Dispatcher::AnswerAtOnce(std::string_view request,
                                                    Session& session) const {
    ParsedRequest parsed = ParseRequest(request);
    auto index = FindRequest(parsed.name);
    if (!index || !m_handlers[*index]) return std::string();  // unknown: no reply
    const RequestEntry& entry = RequestTable()[*index];
    std::optional<Verdict> verdict;
    if (m_requireLogin) {
        verdict = Delegation::DecideFromSession(entry, session);
        if (!verdict) return std::nullopt;
    } else {
        verdict.emplace();
    }
    if (verdict->refusal != nullptr) return std::string(verdict->refusal);
    if (auto refusal = CheckFieldLimits(entry.name, parsed.params)) return *refusal;
    if (!m_quickHandlers[*index]) return std::nullopt;
    // Only the super administrator, or anybody without logins, gets here:
    // nothing limits what he sees.
    RequestContext context{parsed.params, session, m_services, nullptr};
    return m_quickHandlers[*index](context);
}

void Dispatcher::ProcessRequest(std::string_view request, Session& session,
                                const ReplySink& sink) const {
    std::string reply;
    try {
        ParsedRequest parsed = ParseRequest(request);
        auto index = FindRequest(parsed.name);
        if (!index || !m_handlers[*index]) return SendReply(sink, "");  // unknown: no reply
        const RequestEntry& entry = RequestTable()[*index];
        Verdict verdict;
        if (m_requireLogin) verdict = m_delegation.Check(entry, parsed.params, session);
        if (verdict.refusal != nullptr) {
            reply = verdict.refusal;
        } else if (auto refusal = CheckFieldLimits(entry.name, parsed.params)) {
            reply = *refusal;  // nothing is written: the handler does not run
        } else {
            RequestContext context{parsed.params, session, m_services,
                                   verdict.admin ? &verdict.admin->scope : nullptr};
            ChangeNotice notice(m_delegation, entry.effect == Effect::kChanges);
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

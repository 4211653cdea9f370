#include "server/dispatch/Dispatcher.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "server/dispatch/AuditRecorder.h"
#include "server/dispatch/FieldLimits.h"
#include "server/dispatch/LoginFlow.h"

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

// Whether a refusal of `request` gets an entry now: the first of each kind
// on a connection, then at most one a second; `skipped` says how many went
// without one since. One colleague's requests cannot fill the trail.
bool SampleRefusal(Session& session, std::string_view request, int64_t& skipped) {
    const auto now = std::chrono::steady_clock::now();
    auto found = std::find_if(session.refusals.begin(), session.refusals.end(),
                              [&](const RefusalSample& r) { return r.request == request; });
    if (found == session.refusals.end()) {
        session.refusals.push_back({std::string(request), now, 0});
        skipped = 0;
        return true;
    }
    if (now - found->last < std::chrono::seconds(1)) {
        ++found->skipped;
        return false;
    }
    skipped = found->skipped;
    found->skipped = 0;
    found->last = now;
    return true;
}

}  // namespace

void EndIfEnded(Session& session) {
    if (session.ticket && session.ticket->Ended()) session.Logout();
}

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
    // Decided on the name alone where it can be: every connection waits
    // while this runs, and most requests go on to a worker that parses them.
    auto index = FindRequest(RequestNameOf(request));
    if (!index || !m_handlers[*index]) return std::string();  // unknown: no reply
    const RequestEntry& entry = RequestTable()[*index];
    EndIfEnded(session);
    if (m_requireLogin) {
        std::optional<Verdict> verdict = Delegation::DecideFromSession(entry, session);
        if (!verdict) return std::nullopt;
        if (verdict->refusal != nullptr) return std::string(verdict->refusal);
    }
    // What the audit trail records (logins and changes, also refused ones)
    // goes the whole way.
    if (entry.name == req::kLoginCheck || entry.effect == Effect::kChanges) return std::nullopt;
    if (!m_quickHandlers[*index]) return std::nullopt;
    ParsedRequest parsed = ParseRequest(request);
    if (auto refusal = CheckFieldLimits(entry.name, parsed.params)) return *refusal;
    // Only the super administrator, or anybody without logins, gets here:
    // nothing limits what he sees.
    RequestContext context{parsed.params, session, m_services, nullptr};
    return m_quickHandlers[*index](context);
}

void Dispatcher::ProcessRequest(std::string_view request, Session& session,
                                const ReplySink& sink) const {
    std::string reply;
    ParsedRequest parsed;
    const RequestEntry* entry = nullptr;
    Verdict verdict;
    try {
        parsed = ParseRequest(request);
        auto index = FindRequest(parsed.name);
        if (!index || !m_handlers[*index]) return SendReply(sink, "");  // unknown: no reply
        entry = &RequestTable()[*index];
        EndIfEnded(session);
        // A login over the field limits is refused below, like any request.
        if (m_services.login && entry->name == req::kLoginCheck &&
            !CheckFieldLimits(entry->name, parsed.params)) {
            // Answered from the hashing pool, which also writes its entry.
            m_services.login->Run(m_handlers[*index], std::move(parsed.params), session, m_services,
                                  sink);
            return;
        }
        if (m_requireLogin) verdict = m_delegation.Check(*entry, parsed.params, session);
        if (verdict.refusal != nullptr) {
            reply = verdict.refusal;
        } else if (auto refusal = CheckFieldLimits(entry->name, parsed.params)) {
            reply = *refusal;  // nothing is written: the handler does not run
        } else {
            RequestContext context{parsed.params, session, m_services,
                                   verdict.admin ? &verdict.admin->scope : nullptr,
                                   m_requireLogin ? &m_delegation : nullptr};
            ChangeNotice notice(m_delegation, entry->effect == Effect::kChanges);
            reply = m_handlers[*index](context);
        }
    } catch (...) {
        // A back-end failure, a database error or an allocation failure: the
        // rest of the handler is skipped and the console hears of it.
        reply = reply::kGeneralError;
    }
    // Written before the reply goes, so no console sees a change that the
    // trail does not hold.
    if (entry) Audit(*entry, parsed.params, session, verdict.standing, reply);
    SendReply(sink, reply);
}

void Dispatcher::Audit(const RequestEntry& entry, const ParamMap& params, Session& session,
                       Standing standing, const std::string& reply) const {
    if (!m_services.audit || reply.empty()) return;
    // Without a session nobody is accountable, and an unauthenticated flood
    // must not be able to fill the trail.
    if (reply == kLoginRequired) return;
    const bool login = entry.name == req::kLoginCheck;
    if (!login && entry.effect != Effect::kChanges && reply != kNotPermitted) return;
    int64_t skipped = 0;
    if (reply == kNotPermitted && !SampleRefusal(session, entry.name, skipped)) return;
    try {
        if (login) {
            m_services.audit->Write(MakeLoginAuditRecord(params, session, m_services, reply));
        } else {
            AuditRecord record =
                MakeAuditRecord(entry.name, params, session.account,
                                AuditLevelOf(standing, session, m_services), PeerOf(session), reply);
            if (skipped > 0) {
                record.detail += (record.detail.empty() ? "" : "; ") + std::string("此前另有") +
                                 std::to_string(skipped) + "次同类拒绝未单独记录";
            }
            m_services.audit->Write(std::move(record));
        }
    } catch (const std::exception&) {
        // Only an allocation can fail here; the reply still goes.
    }
}

}  // namespace warden

// Decides, for every request, whether the connection that sent it may have
// it carried out: the one place where a request is refused for who sent it.
// The request table says what each request needs; this reads who the sender
// is now (his directory account, his row in the admin store, his roles) and
// checks the need, so a change by the super administrator, to the roles file
// or to the directory takes effect at the sender's next request.
//
// Thread-safe: Check may run on any number of workers at once; it changes
// only the session it is given, which belongs to the calling worker.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <optional>

#include "protocol/ParamMap.h"
#include "protocol/Replies.h"
#include "server/dispatch/AdminRoster.h"
#include "server/dispatch/DirectoryFacts.h"
#include "server/dispatch/RefusalRule.h"
#include "server/dispatch/RequestTable.h"
#include "server/dispatch/Services.h"
#include "server/net/Session.h"

namespace warden {

// The reply to a request on a connection that has not logged in.
using reply::kLoginRequired;
// The reply to a request the sender may not have carried out.
using reply::kNotPermitted;

// Who sent a request, as the rules saw him.
enum class Standing {
    kUnchecked,      // nothing was checked: logins are off, or the request is the login
    kNobody,         // not logged in (or his directory account is gone)
    kDirectoryUser,  // a directory account without a row in the admin store
    kSecondLevel,    // a directory account with a row
    kSuper,          // the super administrator
};

struct Verdict {
    Standing standing = Standing::kUnchecked;
    // The reply that refuses the request; nullptr when it may be carried out.
    const char* refusal = nullptr;
    // A second-level administrator's record; null for every other standing.
    std::shared_ptr<const AdminRecord> admin;
    // The rule that refused it, when one did.
    Refusal why;
};

// Whether `user` is an account that the second-level administrator
// `sender` may not touch: the super administrator's, or another account with
// a row in the admin store (another administrator is the super
// administrator's to manage). `hasRow` is called only when it decides.
bool IsProtectedAccount(const std::string& user, const std::string& sender,
                        const std::function<bool()>& hasRow);

class Delegation {
  public:
    explicit Delegation(Services& services)
        : m_services(services), m_roster(services), m_facts(services) {}

    // REQUIRES: `entry` is the request table's entry of the request.
    // Throws when a back-end the decision needs fails; the request then gets
    // the general error reply and is not carried out.
    Verdict Check(const RequestEntry& entry, const ParamMap& params, Session& session);

    // Check's verdict when the session alone decides it (the request needs
    // nothing, the sender has not logged in, or he is the super
    // administrator); nullopt when it takes the back-ends.
    static std::optional<Verdict> DecideFromSession(const RequestEntry& entry,
                                                    const Session& session);

    // A request that may change the directory has run (whatever its outcome):
    // what the check knows about accounts is read afresh.
    void Changed() { m_facts.Changed(); }

    // Who `account` is as an administrator now (see AdminRoster).
    std::shared_ptr<const AdminRecord> AdminOf(const std::string& account) {
        return m_roster.Find(account);
    }
    GrantableRoles RolesOf(const std::string& account) { return m_roster.RolesOf(account); }

  private:
    Refusal Allows(const RequestEntry& entry, const ParamMap& params, const Session& session,
                   const AdminScope& scope);
    Refusal AllowsUserWrite(const ParamMap& params, const Session& session,
                            const AdminScope& scope);
    bool UserInScope(const std::string& user, const AdminScope& scope);
    // Refuses unless every department of `user` is in scope (and he has one).
    Refusal WhollyInScope(const std::string& user, const AdminScope& scope);
    // "UserAdd.asp" would give `user` another name than his.
    bool NameChanges(const std::string& user, const std::string& name);
    bool IsProtected(const std::string& user, const Session& session);

    Services& m_services;
    AdminRoster m_roster;
    DirectoryFacts m_facts;
};

}  // namespace warden

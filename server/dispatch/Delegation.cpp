#include "server/dispatch/Delegation.h"

#include <algorithm>

#include "protocol/ParamKeys.h"
#include "protocol/SplitList.h"
#include "directory/ImError.h"
#include "server/im/ImService.h"
#include "server/im/UserOperations.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

std::shared_ptr<ImRoot> RootOf(const Services& services) {
    if (services.im == nullptr) {
        throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    }
    return services.im->Root();
}

// Every key the entry names passes `test` with the parameter's value.
template <typename Test>
bool EveryKey(const RequestEntry& entry, const ParamMap& params, Test&& test) {
    for (std::string_view key : entry.keys) {
        if (!key.empty() && !test(GetParam(params, key))) return false;
    }
    return true;
}

}  // namespace

std::optional<Verdict> Delegation::DecideFromSession(const RequestEntry& entry,
                                                     const Session& session) {
    Verdict verdict;
    if (entry.need == Need::kNothing) return verdict;
    switch (session.login) {
        case LoginLevel::kNone:
            verdict.standing = Standing::kNobody;
            verdict.refusal = kLoginRequired;
            return verdict;
        case LoginLevel::kSuper:
            verdict.standing = Standing::kSuper;
            return verdict;
        case LoginLevel::kDirectory:
            break;
    }
    return std::nullopt;
}

Verdict Delegation::Check(const RequestEntry& entry, const ParamMap& params, Session& session) {
    if (auto decided = DecideFromSession(entry, session)) return *decided;
    Verdict verdict;
    if (!m_facts.AccountExists(session.account)) {
        // The account was deleted: the connection no longer speaks for
        // anybody, and a new account of the same name is someone else.
        session.Logout();
        verdict.standing = Standing::kNobody;
        verdict.refusal = kNotPermitted;
        return verdict;
    }
    std::shared_ptr<const AdminRecord> record = m_roster.Find(session.account);
    // What the connection limits count him as follows his row.
    session.administrator = record->isAdmin;
    if (!record->isAdmin) {
        // He may only learn that he is no administrator, so the console can say so.
        verdict.standing = Standing::kDirectoryUser;
        const bool own = entry.need == Need::kOwnAccount &&
                         EqualsNoCase(GetParam(params, entry.keys[0]), session.account);
        if (!own) verdict.refusal = kNotPermitted;
        return verdict;
    }
    verdict.standing = Standing::kSecondLevel;
    if (!Allows(entry, params, session, record->scope)) verdict.refusal = kNotPermitted;
    verdict.admin = std::move(record);
    return verdict;
}

bool Delegation::Allows(const RequestEntry& entry, const ParamMap& params, const Session& session,
                        const AdminScope& scope) {
    auto param = [&params](std::string_view key) -> const std::string& {
        return GetParam(params, key);
    };
    switch (entry.need) {
        case Need::kNothing:
            return true;
        case Need::kOwnAccount:
        case Need::kOwnAdminAccount:
            return EqualsNoCase(param(entry.keys[0]), session.account);
        case Need::kDeptInScope:
            return EveryKey(entry, params, [&](const std::string& p) { return scope.Covers(p); });
        case Need::kDeptStrictlyInside:
            return EveryKey(entry, params,
                            [&](const std::string& p) { return scope.HasInside(p); });
        case Need::kDeptChange:
            // An operation the handler does not know changes nothing, but the
            // department must be his all the same.
            return scope.HasInside(param(entry.keys[0])) &&
                   (!EqualsNoCase(param(key::kOp), "changeparent") ||
                    scope.Covers(param(entry.keys[1])));
        case Need::kUserInScope:
            return UserInScope(param(entry.keys[0]), scope);
        case Need::kUserWrite:
            return AllowsUserWrite(params, session, scope);
        case Need::kUserDelete: {
            const std::string& user = param(entry.keys[0]);
            if (IsProtected(user, session)) return false;
            // Every department, not just one: the user would vanish from
            // departments the sender cannot see.
            return WhollyInScope(user, scope);
        }
        case Need::kSuper:
            return false;
    }
    return false;
}

// "UserAdd.asp" in every mode: every department joined or left in scope; an
// existing user (any mode but adding) in scope; the account not protected,
// also when it is created (a name with a row would become an administrator);
// and no role given or taken away that the sender may not grant, so a role
// the user already holds stays as it is.
bool Delegation::AllowsUserWrite(const ParamMap& params, const Session& session,
                                 const AdminScope& scope) {
    const std::string& user = GetParam(params, key::kUsername);
    const std::string& joined = GetParam(params, key::kDeptNameLower);
    // The handler refuses these without touching anything.
    if (user.empty() || joined.empty()) return true;
    if (IsProtected(user, session)) return false;
    for (const std::string& dept : SplitList(joined, "|")) {
        if (!scope.Covers(dept)) return false;
    }
    const std::string& op = GetParam(params, key::kOp);
    std::vector<std::string> held;
    if (!op.empty()) {
        if (EqualsNoCase(op, "update")) {
            for (const std::string& dept : SplitList(GetParam(params, key::kNewDeptName), ",")) {
                if (!scope.Covers(dept)) return false;
            }
        }
        if (!UserInScope(user, scope)) return false;
        // A new password would let him log in as the user, a new name pass
        // her off as someone else, also in departments he cannot see: like
        // deleting, these need every department of the user.
        if ((!GetParam(params, key::kPwd).empty() || NameChanges(user, GetParam(params, key::kName))) &&
            !WhollyInScope(user, scope)) {
            return false;
        }
        held = GetUserRoleList(*RootOf(m_services), user);
    }
    const RoleChanges changes = PlanUserRoles(held, GetParam(params, key::kRoles));
    if (changes.removed.empty() && changes.added.empty()) return true;
    const GrantableRoles roles = m_roster.RolesOf(session.account);
    auto grantable = [&](const std::string& role) { return roles.MayGrant(role); };
    return std::all_of(changes.removed.begin(), changes.removed.end(), grantable) &&
           std::all_of(changes.added.begin(), changes.added.end(), grantable);
}

bool Delegation::WhollyInScope(const std::string& user, const AdminScope& scope) {
    const auto depts = m_facts.DeptsOf(user);
    return !depts->empty() && std::all_of(depts->begin(), depts->end(),
                                          [&](const auto& d) { return scope.Covers(d); });
}

bool Delegation::NameChanges(const std::string& user, const std::string& name) {
    return Trim(RootOf(m_services)->GetUserManager().GetUserBasicInfo(user).name) != Trim(name);
}

bool Delegation::UserInScope(const std::string& user, const AdminScope& scope) {
    const auto depts = m_facts.DeptsOf(user);
    return std::any_of(depts->begin(), depts->end(),
                       [&](const std::string& d) { return scope.Covers(d); });
}

// The super administrator's name, or another account with a row in the admin
// store: another administrator is the super administrator's to manage.
bool Delegation::IsProtected(const std::string& user, const Session& session) {
    if (EqualsNoCase(user, kSuperAdminName)) return true;
    if (EqualsNoCase(user, session.account)) return false;
    return m_roster.Find(user)->isAdmin;
}

}  // namespace warden

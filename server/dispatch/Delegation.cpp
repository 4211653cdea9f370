#include "server/dispatch/Delegation.h"

#include <algorithm>
#include <utility>

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

// The first key the entry names whose value fails `test`, refused by `rule`.
template <typename Test>
Refusal EveryKey(const RequestEntry& entry, const ParamMap& params, Rule rule, Test&& test) {
    for (std::string_view key : entry.keys) {
        if (key.empty()) continue;
        const std::string& value = GetParam(params, key);
        if (!test(value)) return Refusal{rule, value};
    }
    return {};
}

Verdict Refused(Standing standing, const char* reply, Rule rule, std::string subject = {}) {
    Verdict verdict;
    verdict.standing = standing;
    verdict.refusal = reply;
    verdict.why = Refusal{rule, std::move(subject)};
    return verdict;
}

}  // namespace

std::optional<Verdict> Delegation::DecideFromSession(const RequestEntry& entry,
                                                     const Session& session) {
    Verdict verdict;
    if (entry.need == Need::kNothing) return verdict;
    switch (session.login) {
        case LoginLevel::kNone:
            return Refused(Standing::kNobody, kLoginRequired, Rule::kLoginRequired);
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
    if (!m_facts.AccountExists(session.account)) {
        // The account was deleted: the connection no longer speaks for
        // anybody, and a new account of the same name is someone else.
        std::string account = std::move(session.account);
        session.Logout();
        return Refused(Standing::kNobody, kNotPermitted, Rule::kAccountGone, std::move(account));
    }
    std::shared_ptr<const AdminRecord> record = m_roster.Find(session.account);
    // What the connection limits count him as follows his row.
    session.administrator = record->isAdmin;
    if (!record->isAdmin) {
        // He may only learn that he is no administrator, so the console can say so.
        const bool own = entry.need == Need::kOwnAccount &&
                         EqualsNoCase(GetParam(params, entry.keys[0]), session.account);
        if (own) {
            Verdict verdict;
            verdict.standing = Standing::kDirectoryUser;
            return verdict;
        }
        return Refused(Standing::kDirectoryUser, kNotPermitted, Rule::kNotAdministrator,
                       session.account);
    }
    Verdict verdict;
    verdict.standing = Standing::kSecondLevel;
    verdict.why = Allows(entry, params, session, record->scope);
    if (verdict.why.Refused()) verdict.refusal = kNotPermitted;
    verdict.admin = std::move(record);
    return verdict;
}

Refusal Delegation::Allows(const RequestEntry& entry, const ParamMap& params,
                           const Session& session, const AdminScope& scope) {
    auto param = [&params](std::string_view key) -> const std::string& {
        return GetParam(params, key);
    };
    auto unless = [](bool allowed, Rule rule, const std::string& subject) {
        return allowed ? Refusal{} : Refusal{rule, subject};
    };
    switch (entry.need) {
        case Need::kNothing:
            return {};
        case Need::kOwnAccount:
        case Need::kOwnAdminAccount: {
            const std::string& account = param(entry.keys[0]);
            return unless(EqualsNoCase(account, session.account), Rule::kOwnAccount, account);
        }
        case Need::kDeptInScope:
            return EveryKey(entry, params, Rule::kDeptInScope,
                            [&](const std::string& p) { return scope.Covers(p); });
        case Need::kDeptStrictlyInside:
            return EveryKey(entry, params, Rule::kDeptInside,
                            [&](const std::string& p) { return scope.HasInside(p); });
        case Need::kDeptChange: {
            // An operation the handler does not know changes nothing, but the
            // department must be his all the same.
            const std::string& dept = param(entry.keys[0]);
            if (!scope.HasInside(dept)) return Refusal{Rule::kDeptInside, dept};
            if (!EqualsNoCase(param(key::kOp), "changeparent")) return {};
            const std::string& parent = param(entry.keys[1]);
            return unless(scope.Covers(parent), Rule::kDeptInScope, parent);
        }
        case Need::kUserInScope: {
            const std::string& user = param(entry.keys[0]);
            return unless(UserInScope(user, scope), Rule::kUserInScope, user);
        }
        case Need::kUserWrite:
            return AllowsUserWrite(params, session, scope);
        case Need::kUserDelete: {
            const std::string& user = param(entry.keys[0]);
            if (IsProtected(user, session)) return Refusal{Rule::kProtected, user};
            // Every department, not just one: the user would vanish from
            // departments the sender cannot see.
            return WhollyInScope(user, scope);
        }
        case Need::kAdministrator:
            return {};
        case Need::kSuper:
            return Refusal{Rule::kSuper, {}};
    }
    return Refusal{Rule::kSuper, {}};
}

// "UserAdd.asp" in every mode: every department joined or left in scope; an
// existing user (any mode but adding) in scope; the account not protected,
// also when it is created (a name with a row would become an administrator);
// and no role given or taken away that the sender may not grant, so a role
// the user already holds stays as it is.
Refusal Delegation::AllowsUserWrite(const ParamMap& params, const Session& session,
                                    const AdminScope& scope) {
    const std::string& user = GetParam(params, key::kUsername);
    const std::string& joined = GetParam(params, key::kDeptNameLower);
    // The handler refuses these without touching anything.
    if (user.empty() || joined.empty()) return {};
    if (IsProtected(user, session)) return Refusal{Rule::kProtected, user};
    for (const std::string& dept : SplitList(joined, "|")) {
        if (!scope.Covers(dept)) return Refusal{Rule::kDeptInScope, dept};
    }
    const std::string& op = GetParam(params, key::kOp);
    std::vector<std::string> held;
    if (!op.empty()) {
        if (EqualsNoCase(op, "update")) {
            for (const std::string& dept : SplitList(GetParam(params, key::kNewDeptName), ",")) {
                if (!scope.Covers(dept)) return Refusal{Rule::kDeptInScope, dept};
            }
        }
        if (!UserInScope(user, scope)) return Refusal{Rule::kUserInScope, user};
        // A new password would let him log in as the user, a new name pass
        // her off as someone else, also in departments he cannot see: like
        // deleting, these need every department of the user.
        if (!GetParam(params, key::kPwd).empty() || NameChanges(user, GetParam(params, key::kName))) {
            if (Refusal whole = WhollyInScope(user, scope); whole.Refused()) return whole;
        }
        held = GetUserRoleList(*RootOf(m_services), user);
    }
    const RoleChanges changes = PlanUserRoles(held, GetParam(params, key::kRoles));
    if (changes.removed.empty() && changes.added.empty()) return {};
    const GrantableRoles roles = m_roster.RolesOf(session.account);
    for (const auto* list : {&changes.removed, &changes.added}) {
        for (const std::string& role : *list) {
            if (!roles.MayGrant(role)) return Refusal{Rule::kGrantable, role};
        }
    }
    return {};
}

Refusal Delegation::WhollyInScope(const std::string& user, const AdminScope& scope) {
    const auto depts = m_facts.DeptsOf(user);
    if (depts->empty()) return Refusal{Rule::kUserInScope, user};
    for (const std::string& d : *depts) {
        if (!scope.Covers(d)) return Refusal{Rule::kUserWholly, user};
    }
    return {};
}

bool Delegation::NameChanges(const std::string& user, const std::string& name) {
    return Trim(RootOf(m_services)->GetUserManager().GetUserBasicInfo(user).name) != Trim(name);
}

bool Delegation::UserInScope(const std::string& user, const AdminScope& scope) {
    const auto depts = m_facts.DeptsOf(user);
    return std::any_of(depts->begin(), depts->end(),
                       [&](const std::string& d) { return scope.Covers(d); });
}

bool IsProtectedAccount(const std::string& user, const std::string& sender,
                        const std::function<bool()>& hasRow) {
    if (EqualsNoCase(user, kSuperAdminName)) return true;
    if (EqualsNoCase(user, sender)) return false;
    return hasRow();
}

bool Delegation::IsProtected(const std::string& user, const Session& session) {
    return IsProtectedAccount(user, session.account,
                              [&] { return m_roster.Find(user)->isAdmin; });
}

}  // namespace warden

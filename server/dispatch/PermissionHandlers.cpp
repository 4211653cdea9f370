#include "server/dispatch/PermissionHandlers.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "protocol/AuditRecord.h"
#include "protocol/ParamKeys.h"
#include "protocol/Permissions.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Delegation.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/ImAccess.h"
#include "server/im/NameLists.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

constexpr const char kNoAccount[] = "error:请指定账户";
constexpr const char kUnchecked[] =
    "error:服务器未要求登录(REQUIRE_LOGIN=0),不检查任何权限,所有请求都会执行";

AdminStore& StoreOf(RequestContext& context) {
    if (!context.services.adminStore) throw std::runtime_error("no admin store");
    return *context.services.adminStore;
}

std::string_view LevelName(Standing standing) {
    switch (standing) {
        case Standing::kSuper: return audit_level::kSuper;
        case Standing::kSecondLevel: return audit_level::kSecond;
        case Standing::kDirectoryUser: return audit_level::kUser;
        case Standing::kNobody: return audit_level::kNone;
        case Standing::kUnchecked: break;
    }
    return audit_level::kNone;
}

std::string_view NeedName(Need need) {
    switch (need) {
        case Need::kNothing: return "nothing";
        case Need::kOwnAccount: return "own-account";
        case Need::kOwnAdminAccount: return "own-admin-account";
        case Need::kDeptInScope: return "dept-in-scope";
        case Need::kDeptStrictlyInside: return "dept-inside";
        case Need::kDeptChange: return "dept-change";
        case Need::kUserInScope: return "user-in-scope";
        case Need::kUserWrite: return "user-write";
        case Need::kUserDelete: return "user-delete";
        case Need::kAdministrator: return "administrator";
        case Need::kSuper: return "super-only";
    }
    return "";
}

std::string JoinedWith(const std::vector<std::string>& items, std::string_view separator) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += separator;
        out += item;
    }
    return out;
}

// What a need lets him reach, given the departments his scope holds and the
// roles he may grant, in words.
std::string Covers(Need need, const std::string& account, const std::vector<std::string>& depts,
                   const std::vector<std::string>& roles) {
    const std::string where = depts.empty() ? "" : JoinedWith(depts, "、");
    const std::string grants = roles.empty() ? "无" : JoinedWith(roles, "、");
    switch (need) {
        case Need::kNothing:
            return "任何人";
        case Need::kOwnAccount:
        case Need::kOwnAdminAccount:
            return "只限他自己的账户 " + account;
        case Need::kDeptInScope:
            return where.empty() ? "无" : where + " 及其下属部门";
        case Need::kDeptStrictlyInside:
        case Need::kDeptChange:
            return where.empty() ? "无" : where + " 之下的部门(不含这些部门本身)";
        case Need::kUserInScope:
        case Need::kAdministrator:
            return where.empty() ? "无" : "至少有一个部门在 " + where + " 及其下属部门中的用户";
        case Need::kUserWrite:
            return where.empty() ? "无"
                                 : "至少有一个部门在 " + where +
                                       " 及其下属部门中、不是管理员的用户;可分配角色: " + grants;
        case Need::kUserDelete:
            return where.empty() ? "无"
                                 : "所有部门都在 " + where + " 及其下属部门中、不是管理员的用户";
        case Need::kSuper:
            return "无(只有超级管理员)";
    }
    return "";
}

std::string GetAdminEffective(RequestContext& context) {
    const std::string& account = context.Param(key::kUsername);
    if (Trim(account).empty()) return kNoAccount;
    if (context.delegation == nullptr) return kUnchecked;
    Delegation& rules = *context.delegation;
    auto root = ImRootOf(context);

    AdminEffective effective;
    effective.account = account;
    effective.exists = root->GetUserManager().IsUserExist(account);
    if (EqualsNoCase(account, kSuperAdminName)) {
        effective.level = audit_level::kSuper;
        return FormatAdminEffective(effective);
    }
    const std::shared_ptr<const AdminRecord> record = rules.AdminOf(account);
    effective.level = !effective.exists    ? audit_level::kNone
                      : record->isAdmin ? audit_level::kSecond
                                        : audit_level::kUser;
    if (!record->isAdmin) return FormatAdminEffective(effective);

    // His row's entries, each judged by the scope the rules build from it.
    const std::vector<std::string> entries = SplitList(StoreOf(context).GetAdminDepts(account), ";");
    std::vector<std::string> reach;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& entry = entries[i];
        std::string others;
        for (size_t j = 0; j < entries.size(); ++j) {
            // An entry equal to an earlier one is covered by it; to a later one, not.
            if (j != i && !(j > i && NormaliseDeptPath(entries[j]) == NormaliseDeptPath(entry))) {
                others += entries[j] + ";";
            }
        }
        const char* state = entry_state::kOk;
        if (!record->scope.Covers(entry)) {
            state = entry_state::kTop;
        } else if (!root->GetDeptManager().IsDeptExist(entry)) {
            state = entry_state::kMissing;
        } else if (AdminScope(others).Covers(entry)) {
            state = entry_state::kCovered;
        } else {
            reach.push_back(entry);
        }
        effective.depts.push_back({entry, state});
    }

    const std::vector<std::string> existing =
        SplitList(StripRoleXml(root->GetRoleManager().GetAllRoles()), "=");
    const GrantableRoles grantable = rules.RolesOf(account);
    std::vector<std::string> grants;
    for (const std::string& role : SplitList(StoreOf(context).GetAdminRoles(account), "|")) {
        bool exists = false;
        for (const std::string& known : existing) exists = exists || EqualsNoCase(known, role);
        if (exists && grantable.MayGrant(role)) grants.push_back(role);
        effective.roles.push_back({role, exists ? entry_state::kOk : entry_state::kMissing});
    }

    // The request table itself, need by need in the order it first names them.
    for (const RequestEntry& entry : RequestTable()) {
        const std::string need(NeedName(entry.need));
        auto same = std::find_if(effective.needs.begin(), effective.needs.end(),
                                 [&](const auto& c) { return c.need == need; });
        if (same == effective.needs.end()) {
            effective.needs.push_back({need, {}, Covers(entry.need, account, reach, grants)});
            same = std::prev(effective.needs.end());
        }
        same->requests.emplace_back(entry.name);
    }
    return FormatAdminEffective(effective);
}

std::string CheckPermission(RequestContext& context) {
    if (context.delegation == nullptr) return kUnchecked;
    const std::string& account = context.Param(key::kCheckFor);
    if (Trim(account).empty()) return kNoAccount;
    const std::string& name = context.Param(key::kCheckRequest);
    const std::optional<size_t> index = FindRequest(name);
    if (!index) return "error:没有这个请求: " + name;
    const RequestEntry& entry = RequestTable()[*index];

    // The request as his console would send it, on a session of his own.
    ParamMap params = context.params;
    params.erase(key::kCheckFor);
    params.erase(key::kCheckRequest);
    Session session;
    session.login =
        EqualsNoCase(account, kSuperAdminName) ? LoginLevel::kSuper : LoginLevel::kDirectory;
    session.account = account;
    const Verdict verdict = context.delegation->Check(entry, params, session);

    PermissionVerdict answer;
    answer.allowed = verdict.refusal == nullptr;
    answer.request = std::string(entry.name);
    answer.level = std::string(LevelName(verdict.standing));
    answer.rule = std::string(RuleName(verdict.why.rule));
    answer.text = std::string(RuleText(verdict.why.rule));
    answer.subject = verdict.why.subject;
    return FormatPermissionVerdict(answer);
}

}  // namespace

void RegisterPermissionHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kGetAdminEffective, GetAdminEffective);
    dispatcher.Register(req::kCheckPermission, CheckPermission);
}

}  // namespace warden

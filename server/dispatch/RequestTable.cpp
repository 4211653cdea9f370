#include "server/dispatch/RequestTable.h"

#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden {

const std::array<RequestEntry, kRequestCount>& RequestTable() {
    using enum NameMatch;
    using enum Effect;
    using enum Need;
    // Requests that only the super administrator's console sends (the
    // administrator, role and right dialogs, the password change, and the
    // account check of the administrator editor) need the super administrator.
    // clang-format off
    static constexpr std::array<RequestEntry, kRequestCount> kTable{{
        {req::kLoginCheck,          kAnyCase, kReads,   kNothing,            {}},
        {req::kQueryUserAdminDepts, kAnyCase, kReads,   kOwnAccount,         {key::kUsername}},
        {req::kGetChildDepts,       kAnyCase, kReads,   kDeptInScope,        {key::kDeptIdMixed}},
        {req::kGetDeptUsers,        kAnyCase, kReads,   kDeptInScope,        {key::kDeptIdMixed}},
        {req::kGetUserBInfo,        kAnyCase, kReads,   kUserInScope,        {key::kUsername}},
        {req::kGetUserRoles,        kAnyCase, kReads,   kUserInScope,        {key::kUsername}},
        // Its reply lists only the departments in scope (see the handler).
        {req::kGetUserDepts,        kAnyCase, kReads,   kUserInScope,        {key::kUsername}},
        {req::kGetAllRoles,         kAnyCase, kReads,   kSuper,              {}},
        {req::kGet2NdAdminRoles,    kAnyCase, kReads,   kOwnAdminAccount,    {key::kUsername}},
        {req::kGetAdminList,        kAnyCase, kReads,   kSuper,              {}},
        {req::kGetRoleDescription,  kAnyCase, kReads,   kSuper,              {}},
        {req::kGetRightsOfRole,     kAnyCase, kReads,   kSuper,              {}},
        {req::kGetAllRights,        kAnyCase, kReads,   kSuper,              {}},
        // The parent in scope, so never at the top level.
        {req::kDeptAdd,             kAnyCase, kChanges, kDeptInScope,        {key::kParentDept}},
        {req::kDeptDelete,          kAnyCase, kChanges, kDeptStrictlyInside, {key::kDeptIdLower}},
        {req::kUserAdd,             kAnyCase, kChanges, kUserWrite,          {key::kUsername}},
        {req::kUserDelete,          kAnyCase, kChanges, kUserDelete,         {key::kUsername}},
        {req::kDeptChange,          kAnyCase, kChanges, kDeptChange,         {key::kOrigDeptName, key::kNewParentDept}},
        {req::kGetSameLevelDepts,   kExact,   kReads,   kDeptInScope,        {key::kDeptIdMixed}},
        {req::kSetDeptOrder,        kExact,   kChanges, kDeptStrictlyInside, {key::kDeptNameMixed, key::kNextDeptName}},
        {req::kRoleAdmin,           kExact,   kChanges, kSuper,              {}},
        {req::kUpdateRoleRight,     kAnyCase, kChanges, kSuper,              {}},
        {req::kSaveAdminDepts,      kAnyCase, kChanges, kSuper,              {}},
        {req::kCheckUserExist,      kAnyCase, kReads,   kSuper,              {}},
        {req::kDeleteAdmin,         kAnyCase, kChanges, kSuper,              {}},
        {req::kChangePwd,           kAnyCase, kChanges, kSuper,              {}},
        {req::kGetAuditLog,         kAnyCase, kReads,   kSuper,              {}},
        {req::kSearchUsers,         kAnyCase, kReads,   kAdministrator,      {}},
        {req::kGetAdminEffective,   kAnyCase, kReads,   kSuper,              {}},
        {req::kCheckPermission,     kAnyCase, kReads,   kSuper,              {}},
    }};
    // clang-format on
    return kTable;
}

std::optional<size_t> FindRequest(std::string_view name) {
    const auto& table = RequestTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const RequestEntry& e = table[i];
        if (e.match == NameMatch::kExact ? name == e.name : EqualsNoCase(name, e.name)) return i;
    }
    return std::nullopt;
}

}  // namespace warden

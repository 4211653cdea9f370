#include "server/dispatch/RequestTable.h"

#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden {

const std::array<RequestEntry, kRequestCount>& RequestTable() {
    using enum NameMatch;
    using enum Need;
    // Requests that only the super administrator's console sends (the
    // administrator, role and right dialogs, the password change, and the
    // account check of the administrator editor) need the super administrator.
    // clang-format off
    static constexpr std::array<RequestEntry, kRequestCount> kTable{{
        {req::kLoginCheck,           kAnyCase,  kNothing,             {}},
        {req::kQueryUserAdminDepts,  kAnyCase,  kOwnAccount,          {key::kUsername}},
        {req::kGetChildDepts,        kAnyCase,  kDeptInScope,         {key::kDeptIdMixed}},
        {req::kGetDeptUsers,         kAnyCase,  kDeptInScope,         {key::kDeptIdMixed}},
        {req::kGetUserBInfo,         kAnyCase,  kUserInScope,         {key::kUsername}},
        {req::kGetUserRoles,         kAnyCase,  kUserInScope,         {key::kUsername}},
        // Its reply lists only the departments in scope (see the handler).
        {req::kGetUserDepts,         kAnyCase,  kUserInScope,         {key::kUsername}},
        {req::kGetAllRoles,          kAnyCase,  kSuper,               {}},
        {req::kGet2NdAdminRoles,     kAnyCase,  kOwnAdminAccount,     {key::kUsername}},
        {req::kGetAdminList,         kAnyCase,  kSuper,               {}},
        {req::kGetRoleDescription,   kAnyCase,  kSuper,               {}},
        {req::kGetRightsOfRole,      kAnyCase,  kSuper,               {}},
        {req::kGetAllRights,         kAnyCase,  kSuper,               {}},
        // The parent in scope, so never at the top level.
        {req::kDeptAdd,              kAnyCase,  kDeptInScope,         {key::kParentDept}},
        {req::kDeptDelete,           kAnyCase,  kDeptStrictlyInside,  {key::kDeptIdLower}},
        {req::kUserAdd,              kAnyCase,  kUserWrite,           {key::kUsername}},
        {req::kUserDelete,           kAnyCase,  kUserDelete,          {key::kUsername}},
        {req::kDeptChange,           kAnyCase,  kDeptChange,          {key::kOrigDeptName, key::kNewParentDept}},
        {req::kGetSameLevelDepts,    kExact,    kDeptInScope,         {key::kDeptIdMixed}},
        {req::kSetDeptOrder,         kExact,    kDeptStrictlyInside,  {key::kDeptNameMixed, key::kNextDeptName}},
        {req::kRoleAdmin,            kExact,    kSuper,               {}},
        {req::kUpdateRoleRight,      kAnyCase,  kSuper,               {}},
        {req::kSaveAdminDepts,       kAnyCase,  kSuper,               {}},
        {req::kCheckUserExist,       kAnyCase,  kSuper,               {}},
        {req::kDeleteAdmin,          kAnyCase,  kSuper,               {}},
        {req::kChangePwd,            kAnyCase,  kSuper,               {}},
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

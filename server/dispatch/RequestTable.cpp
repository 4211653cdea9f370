#include "server/dispatch/RequestTable.h"

#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden {

const std::array<RequestEntry, kRequestCount>& RequestTable() {
    using enum NameMatch;
    using enum Access;
    static constexpr std::array<RequestEntry, kRequestCount> kTable{{
        {req::kLoginCheck, kAnyCase, kAnyone},
        {req::kQueryUserAdminDepts, kAnyCase, kLoggedIn},
        {req::kGetChildDepts, kAnyCase, kLoggedIn},
        {req::kGetDeptUsers, kAnyCase, kLoggedIn},
        {req::kGetUserBInfo, kAnyCase, kLoggedIn},
        {req::kGetUserRoles, kAnyCase, kLoggedIn},
        {req::kGetUserDepts, kAnyCase, kLoggedIn},
        {req::kGetAllRoles, kAnyCase, kLoggedIn},
        {req::kGet2NdAdminRoles, kAnyCase, kLoggedIn},
        {req::kGetAdminList, kAnyCase, kLoggedIn},
        {req::kGetRoleDescription, kAnyCase, kLoggedIn},
        {req::kGetRightsOfRole, kAnyCase, kLoggedIn},
        {req::kGetAllRights, kAnyCase, kLoggedIn},
        {req::kDeptAdd, kAnyCase, kLoggedIn},
        {req::kDeptDelete, kAnyCase, kLoggedIn},
        {req::kUserAdd, kAnyCase, kLoggedIn},
        {req::kUserDelete, kAnyCase, kLoggedIn},
        {req::kDeptChange, kAnyCase, kLoggedIn},
        {req::kGetSameLevelDepts, kExact, kLoggedIn},
        {req::kSetDeptOrder, kExact, kLoggedIn},
        {req::kRoleAdmin, kExact, kSuper},
        {req::kUpdateRoleRight, kAnyCase, kSuper},
        {req::kSaveAdminDepts, kAnyCase, kSuper},
        {req::kCheckUserExist, kAnyCase, kLoggedIn},
        {req::kDeleteAdmin, kAnyCase, kSuper},
        {req::kChangePwd, kAnyCase, kLoggedIn},
        {req::kGetAuditLog, kAnyCase, kSuper},
    }};
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

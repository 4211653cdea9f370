#include "server/dispatch/RequestTable.h"

#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden {

const std::array<RequestEntry, kRequestCount>& RequestTable() {
    using enum NameMatch;
    static constexpr std::array<RequestEntry, kRequestCount> kTable{{
        {req::kLoginCheck, kAnyCase},
        {req::kQueryUserAdminDepts, kAnyCase},
        {req::kGetChildDepts, kAnyCase},
        {req::kGetDeptUsers, kAnyCase},
        {req::kGetUserBInfo, kAnyCase},
        {req::kGetUserRoles, kAnyCase},
        {req::kGetUserDepts, kAnyCase},
        {req::kGetAllRoles, kAnyCase},
        {req::kGet2NdAdminRoles, kAnyCase},
        {req::kGetAdminList, kAnyCase},
        {req::kGetRoleDescription, kAnyCase},
        {req::kGetRightsOfRole, kAnyCase},
        {req::kGetAllRights, kAnyCase},
        {req::kDeptAdd, kAnyCase},
        {req::kDeptDelete, kAnyCase},
        {req::kUserAdd, kAnyCase},
        {req::kUserDelete, kAnyCase},
        {req::kDeptChange, kAnyCase},
        {req::kGetSameLevelDepts, kExact},
        {req::kSetDeptOrder, kExact},
        {req::kRoleAdmin, kExact},
        {req::kUpdateRoleRight, kAnyCase},
        {req::kSaveAdminDepts, kAnyCase},
        {req::kCheckUserExist, kAnyCase},
        {req::kDeleteAdmin, kAnyCase},
        {req::kChangePwd, kAnyCase},
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

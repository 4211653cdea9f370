// The request names of the wire protocol, shared by server and console.
// Each name is the exact text a console sends; the server's dispatcher decides
// how strictly each is compared.
#pragma once

namespace warden::req {

inline constexpr const char kLoginCheck[] = "LoginCheck.asp";
inline constexpr const char kQueryUserAdminDepts[] = "QueryUserAdminDepts.asp";
inline constexpr const char kGetChildDepts[] = "GetChildDepts.asp";
inline constexpr const char kGetDeptUsers[] = "GetDeptUsers.asp";
inline constexpr const char kGetUserBInfo[] = "GetUserBInfo.asp";
inline constexpr const char kGetUserRoles[] = "GetUserRoles.asp";
inline constexpr const char kGetUserDepts[] = "GetUserDepts.asp";
inline constexpr const char kGetAllRoles[] = "GetAllRoles.asp";
inline constexpr const char kGet2NdAdminRoles[] = "Get2NdAdminRoles.asp";
inline constexpr const char kGetAdminList[] = "GetAdminList.asp";
inline constexpr const char kGetRoleDescription[] = "GetRoleDescription.asp";
inline constexpr const char kGetRightsOfRole[] = "GetRightsOfRole.asp";
inline constexpr const char kGetAllRights[] = "GetAllRights.asp";
inline constexpr const char kDeptAdd[] = "DeptAdd.asp";
inline constexpr const char kDeptDelete[] = "DeptDelete.asp";
inline constexpr const char kUserAdd[] = "UserAdd.asp";
inline constexpr const char kUserDelete[] = "UserDelete.asp";
inline constexpr const char kDeptChange[] = "DeptChange.asp";
inline constexpr const char kGetSameLevelDepts[] = "GetSameLevelDepts.asp";
inline constexpr const char kSetDeptOrder[] = "SetDeptOrder.asp";
inline constexpr const char kRoleAdmin[] = "RoleAdmin.asp";
inline constexpr const char kUpdateRoleRight[] = "UpdateRoleRight.asp";
inline constexpr const char kSaveAdminDepts[] = "SaveAdminDepts.asp";
inline constexpr const char kCheckUserExist[] = "CheckUserExist.asp";
inline constexpr const char kDeleteAdmin[] = "DeleteAdmin.asp";
inline constexpr const char kChangePwd[] = "ChangePwd.asp";
// Ours: the audit trail, newest first, a page at a time.
inline constexpr const char kGetAuditLog[] = "GetAuditLog.asp";
// Ours: users by a part of their account, name, telephone or e-mail.
inline constexpr const char kSearchUsers[] = "SearchUsers.asp";
// Ours: what a second-level administrator may do, from the rules that decide it.
inline constexpr const char kGetAdminEffective[] = "GetAdminEffective.asp";
inline constexpr const char kCheckPermission[] = "CheckPermission.asp";

}  // namespace warden::req

// Parameter keys of the wire protocol. Keys are compared byte for byte, so
// "deptId" and "deptid" are different keys used by different requests.
#pragma once

namespace warden::key {

inline constexpr const char kUsername[] = "username";
inline constexpr const char kPassword[] = "password";
inline constexpr const char kOldPassword[] = "oldpassword";
inline constexpr const char kVer[] = "ver";
inline constexpr const char kDeptIdMixed[] = "deptId";  // queries
inline constexpr const char kDeptIdLower[] = "deptid";  // DeptAdd, DeptDelete
inline constexpr const char kParentDept[] = "parentdept";
inline constexpr const char kOp[] = "op";
inline constexpr const char kOrigDeptName[] = "origdeptname";
inline constexpr const char kNewDeptName[] = "newdeptname";
inline constexpr const char kNewParentDept[] = "newparentdept";
inline constexpr const char kDeptNameMixed[] = "deptName";  // SetDeptOrder
inline constexpr const char kNextDeptName[] = "nextDeptName";
inline constexpr const char kIsLast[] = "isLast";
inline constexpr const char kDeptNameLower[] = "deptname";  // UserAdd
inline constexpr const char kName[] = "name";
inline constexpr const char kPosition[] = "position";
inline constexpr const char kGender[] = "gender";
inline constexpr const char kMobile[] = "mobile";
inline constexpr const char kPhone[] = "phone";
inline constexpr const char kEmail[] = "email";
inline constexpr const char kPwd[] = "pwd";
inline constexpr const char kRoles[] = "roles";
inline constexpr const char kLevel[] = "level";
inline constexpr const char kDepts[] = "depts";
inline constexpr const char kAdminRoles[] = "adminroles";
inline constexpr const char kRoleName[] = "rolename";
inline constexpr const char kDesc[] = "desc";
inline constexpr const char kRightInfo[] = "rightInfo";
inline constexpr const char kNewName[] = "newname";
// "GetAuditLog.asp": filters, and the last entry of the previous page.
inline constexpr const char kFrom[] = "from";
inline constexpr const char kTo[] = "to";
inline constexpr const char kAccount[] = "account";
inline constexpr const char kTarget[] = "target";
inline constexpr const char kBeforeTime[] = "beforetime";
inline constexpr const char kBeforeId[] = "beforeid";
inline constexpr const char kCount[] = "count";      // also "SearchUsers.asp"
inline constexpr const char kRequest[] = "request";  // the request name an entry records
inline constexpr const char kOutcome[] = "outcome";  // "success", "refused" or "failed"
inline constexpr const char kTotal[] = "total";      // "1": only count the matching entries
// "GetUserBInfo.asp": "1" adds whether the sender may not touch the account.
inline constexpr const char kProtected[] = "protected";
// "GetUserDepts.asp": "1" adds whether the user has departments outside the
// sender's scope.
inline constexpr const char kOutside[] = "outside";
// "SearchUsers.asp": the text to look for.
inline constexpr const char kText[] = "text";
// "CheckPermission.asp": the account asked about and the request he would
// send; the request's own keys follow.
inline constexpr const char kCheckFor[] = "checkfor";
inline constexpr const char kCheckRequest[] = "checkrequest";

}  // namespace warden::key

// The requests about the server's own accounts: the login, the password, and
// the second-level administrators with their departments and roles.
#pragma once

namespace warden {

class Dispatcher;

// Installs "LoginCheck.asp", "ChangePwd.asp", "QueryUserAdminDepts.asp",
// "GetAdminList.asp", "SaveAdminDepts.asp", "DeleteAdmin.asp" and
// "Get2NdAdminRoles.asp".
void RegisterAdminHandlers(Dispatcher& dispatcher);

}  // namespace warden

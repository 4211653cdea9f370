// The requests about the server's own accounts: the login, the password, and
// the second-level administrators with their departments and roles.
#pragma once

#include <string>
#include <string_view>

namespace warden {

class Dispatcher;

// Installs "LoginCheck.asp", "ChangePwd.asp", "QueryUserAdminDepts.asp",
// "GetAdminList.asp", "SaveAdminDepts.asp", "DeleteAdmin.asp" and
// "Get2NdAdminRoles.asp".
void RegisterAdminHandlers(Dispatcher& dispatcher);

// The reply to a wrong password for `user`: the super administrator's text
// or the directory's.
std::string LoginFailedReply(std::string_view user);

}  // namespace warden

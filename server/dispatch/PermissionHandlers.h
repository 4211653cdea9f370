// Handlers of the super administrator's questions about a second-level
// administrator, answered by the delegation rules that decide his requests
// rather than by a second reading of them:
// - "GetAdminEffective.asp": his departments and roles as the rules resolve
//   them (entries that no longer exist, or cover nothing, marked), and for
//   each need of the request table, the requests it decides and what it
//   lets him reach;
// - "CheckPermission.asp": the rules run on a request as he would send it,
//   without carrying it out.
#pragma once

namespace warden {

class Dispatcher;

void RegisterPermissionHandlers(Dispatcher& dispatcher);

}  // namespace warden

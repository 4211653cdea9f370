// The handler of "SetDeptOrder.asp": moves a department to another place
// among its siblings through the DeptOrdering back-end.
#pragma once

namespace warden {

class Dispatcher;

void RegisterOrderingHandlers(Dispatcher& dispatcher);

}  // namespace warden

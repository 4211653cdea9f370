// Handler of "SearchUsers.asp": the users whose account, name, telephone or
// e-mail holds a text, as many as asked for, each with his departments; a
// second-level administrator finds only users with a department in his scope
// and sees only those departments, as "GetUserDepts.asp" shows them.
#pragma once

namespace warden {

class Dispatcher;

void RegisterSearchHandlers(Dispatcher& dispatcher);

}  // namespace warden

// What the server remembers about one console connection between requests.
// Touched only by the worker that holds the connection, so needs no lock.
#pragma once

#include <string>

namespace warden {

// What the connection's last successful login proved. A directory account is
// not yet an administrator: whether it is one, and over what, is read from
// the admin store at every request, so that changes reach live connections.
enum class LoginLevel {
    kNone,
    kDirectory,  // the IM directory verified the account's password
    kSuper,      // the super administrator, checked by the admin store
};

struct Session {
    LoginLevel login = LoginLevel::kNone;
    std::string account;  // the name that logged in
};

}  // namespace warden

// What the server remembers about one console connection between requests.
// Touched only by the worker that holds the connection, so needs no lock.
#pragma once

#include <string>

namespace warden {

enum class LoginLevel { kNone, kSecondLevel, kSuper };

struct Session {
    LoginLevel login = LoginLevel::kNone;
    std::string account;  // the name that logged in
};

}  // namespace warden

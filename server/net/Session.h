// What the server remembers about one console connection between requests.
// Touched only by whoever holds the connection's current request, so needs no
// lock; the peer's address is set at accept and never changes.
#pragma once

#include <string>

namespace warden {

enum class LoginLevel { kNone, kSecondLevel, kSuper };

struct Session {
    LoginLevel login = LoginLevel::kNone;
    std::string account;      // the name that logged in
    std::string peerAddress;  // the console's address as text, e.g. "192.0.2.7"
    std::string peerPort;     // the console's port as text, e.g. "51324"
};

}  // namespace warden

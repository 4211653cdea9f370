// What the server remembers about one console connection between requests.
// Touched only by whoever holds the connection's current request, so needs no
// lock; the peer's address is set at accept and never changes.
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

// How the connection reaches the server: the plain port, or the TLS port.
enum class Transport { kPlain, kTls };

struct Session {
    LoginLevel login = LoginLevel::kNone;
    std::string account;      // the name that logged in
    std::string peerAddress;  // the console's address as text, e.g. "192.0.2.7"
    std::string peerPort;     // the console's port as text, e.g. "51324"
    Transport transport = Transport::kPlain;
};

}  // namespace warden

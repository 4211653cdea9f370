// What the server remembers about one console connection between requests.
// Touched only by whoever holds the connection's current request, so needs no
// lock; the peer's address is set at accept and never changes.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// A login's registration with whoever counts the logins of each account;
// it lets go of its place when destroyed.
class SessionTicket {
  public:
    virtual ~SessionTicket() = default;
    // The login has been ended from elsewhere (its password changed).
    virtual bool Ended() const = 0;
};

// How often one kind of refusal was written to the audit trail for this
// connection: the first one, then at most one a second.
struct RefusalSample {
    std::string request;
    std::chrono::steady_clock::time_point last{};
    int64_t skipped = 0;  // since the last one written
};

struct Session {
    LoginLevel login = LoginLevel::kNone;
    std::string account;      // as the directory spells it
    std::string peerAddress;  // the console's address as text, e.g. "192.0.2.7"
    std::string peerPort;     // the console's port as text, e.g. "51324"
    Transport transport = Transport::kPlain;
    // The login counts as one for the connection limits: the super
    // administrator's or an administrator's. A directory account without
    // rights counts as a connection without a login.
    bool administrator = false;
    std::chrono::steady_clock::time_point loginAt{};
    std::unique_ptr<SessionTicket> ticket;  // while logged in, when logins are counted
    std::vector<RefusalSample> refusals;

    void Logout() {
        login = LoginLevel::kNone;
        account.clear();
        administrator = false;
        ticket.reset();
    }
};

}  // namespace warden

// The logins alive on the server's connections, by account: how many each
// administrator's account holds (at most `maxPerAccount` at once), and a way
// to end them all when the account's password changes. A login holds a
// ticket in its session; the ticket lets go of its place when the session
// logs out or its connection ends, and tells when its login has been ended.
//
// Accounts compare without regard to ASCII letter case.
//
// Thread-safe: every call, and every ticket, may be used from any thread.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "server/net/Session.h"

namespace warden {

class SessionRegistry {
  public:
    explicit SessionRegistry(size_t maxPerAccount);
    ~SessionRegistry();
    SessionRegistry(const SessionRegistry&) = delete;
    SessionRegistry& operator=(const SessionRegistry&) = delete;

    // Gives `session` a ticket for its login as `account`. `counted`: the
    // login takes one of the account's places (an administrator's does; a
    // directory account without administrator rights takes none). False,
    // with the session's earlier ticket kept, when every place is taken by
    // other connections.
    bool Admit(Session& session, const std::string& account, bool counted);

    // Ends every login of `account` but the one of `keep` (may be null):
    // each finds its ticket ended at its next request.
    void EndLogins(const std::string& account, const Session* keep);

    // The places `account` holds now.
    size_t Places(const std::string& account) const;

  private:
    struct State;
    class Ticket;
    std::shared_ptr<State> m_state;
};

}  // namespace warden

// What a request leaves in the audit trail, and the one place that writes
// it. An entry is made for every login, every request that changes
// something (answered or refused) and every refusal of "没有权限执行此操作";
// reads that pass leave nothing. An entry never holds a password: the value
// of any key that names one is left out.
//
// Thread-safety: the functions keep no state; AuditRecorder::Write may be
// called from any number of threads at once.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "protocol/AuditRecord.h"
#include "protocol/ParamMap.h"
#include "server/dispatch/Delegation.h"
#include "server/dispatch/Services.h"
#include "server/net/Session.h"

namespace warden {

class AuditTrail;

// Where a request came from.
struct Peer {
    std::string address;
    int port = 0;
};

// Where `session`'s requests come from.
Peer PeerOf(const Session& session);

// The audit level of a sender the delegation rules saw as `standing`; when
// they checked nothing (the login itself, or logins not required), the level
// the session's login gives, asking the admin store whether a directory
// account has a row.
const char* AuditLevelOf(Standing standing, const Session& session, const Services& services);

// The entry for request `name` (as the table spells it) sent by `account` at
// `level`, answered with `reply`. Its target is the department, account or
// role the request is about; its detail the other parameters, without
// passwords; long values are cut.
AuditRecord MakeAuditRecord(std::string_view name, const ParamMap& params,
                            const std::string& account, const char* level, const Peer& peer,
                            const std::string& reply);

// The entry of a login answered with `reply`: the account tried, the level
// the login granted (none when it was refused), and the session's transport
// at the head of its detail ("via TLS" or "via plain text").
AuditRecord MakeLoginAuditRecord(const ParamMap& params, const Session& session,
                                 const Services& services, const std::string& reply);

class AuditRecorder {
  public:
    // `notice` hears of every entry that could not be written, as one line;
    // REQUIRES: `trail` outlives this object.
    AuditRecorder(AuditTrail& trail, std::function<void(const std::string&)> notice);

    // Writes `record`; on failure tells the notice. Returns whether written.
    bool Write(AuditRecord record);

  private:
    AuditTrail& m_trail;
    const std::function<void(const std::string&)> m_notice;
};

}  // namespace warden

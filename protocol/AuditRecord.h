// One entry of the audit trail, and how a page of entries travels in the
// reply of "GetAuditLog.asp". Shared by the server (which writes the reply)
// and the console (which reads it).
//
// Reply format: keyed lines (KeyedLines.h), one per entry, newest first, with
// the fields id, time, account, level, address, port, request, target,
// outcome, detail.
//
// Thread-safety: no state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace warden {

// Who an entry's account was when the request ran.
namespace audit_level {
inline constexpr const char kSuper[] = "super";    // the super administrator
inline constexpr const char kSecond[] = "second";  // a second-level administrator
inline constexpr const char kUser[] = "user";      // a directory user without an admin row
inline constexpr const char kNone[] = "none";      // not logged in
inline constexpr const char kLocal[] = "local";    // an account of the server's machine
}  // namespace audit_level

// How a request ended, as an entry's outcome (the reply) tells it: refused
// for who sent it ("error:没有权限执行此操作"), failed (any other "error:"
// reply), or succeeded (anything else). "GetAuditLog.asp" filters by these.
namespace audit_outcome {
inline constexpr const char kSuccess[] = "success";
inline constexpr const char kRefused[] = "refused";
inline constexpr const char kFailed[] = "failed";
}  // namespace audit_outcome

// One of audit_outcome for the reply text `outcome`.
const char* AuditOutcomeKind(std::string_view outcome);

struct AuditRecord {
    int64_t id = 0;
    std::string time;  // UTC, "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::string account;
    std::string level;  // one of audit_level
    std::string address;
    int port = 0;
    std::string request;  // the request name as the table spells it
    std::string target;   // department path, account or role the request is about
    std::string outcome;  // the reply text
    std::string detail;   // the other parameters (never a password) or a note

    bool operator==(const AuditRecord&) const = default;
};

// The reply for a page of entries.
std::string FormatAuditLog(const std::vector<AuditRecord>& records);

// The entries of a reply of FormatAuditLog; no entries for " ".
std::vector<AuditRecord> ParseAuditLog(std::string_view reply);

// Where an entry came from, "address:port"; an IPv6 address is bracketed,
// so its colons are not taken for the port's.
std::string AuditPeer(const AuditRecord& record);

// `value` with "|" replaced by "｜" and control characters by spaces, as a
// value travels in the reply.
std::string AuditWireValue(std::string_view value);

}  // namespace warden

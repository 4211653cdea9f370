// The replies that tell the super administrator what a second-level
// administrator may do: "GetAdminEffective.asp" (his departments and roles as
// the server resolves them, and what each kind of request covers) and
// "CheckPermission.asp" (whether one request would be allowed, and if not,
// which rule refuses it). Shared by the server (which writes them) and the
// console (which reads them).
//
// Both are keyed lines (KeyedLines.h). "GetAdminEffective.asp": a line per
// item, its field "kind" first:
//   kind:account|account:…|level:…|exists:1|0   (level as in AuditRecord.h)
//   kind:dept|path:…|state:…                      one per entry of his row
//   kind:role|name:…|state:…                      one per role he may grant
//   kind:need|need:…|requests:a,b|covers:…        one per rule of the table
// "CheckPermission.asp": one line
//   result:allow|deny|request:…|level:…|rule:…|text:…|subject:…
//
// Thread-safety: no state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden {

// States of an administrator's department entries and roles.
namespace entry_state {
inline constexpr const char kOk[] = "ok";
inline constexpr const char kMissing[] = "missing";  // the directory has no such department or role
inline constexpr const char kTop[] = "top";          // names the top level: ignored, covers nothing
inline constexpr const char kCovered[] = "covered";  // lies inside another of his entries
}  // namespace entry_state

struct AdminEffective {
    struct Entry {
        std::string name;  // a department path or a role name
        std::string state;
        bool operator==(const Entry&) const = default;
    };
    struct Coverage {
        std::string need;                   // the rule's name (RefusalRule's names for the needs)
        std::vector<std::string> requests;  // the requests it decides
        std::string covers;                 // what it lets him reach, for the eye
        bool operator==(const Coverage&) const = default;
    };
    std::string account;
    std::string level;
    bool exists = false;  // he has a directory account
    std::vector<Entry> depts;
    std::vector<Entry> roles;
    std::vector<Coverage> needs;
    bool operator==(const AdminEffective&) const = default;
};

std::string FormatAdminEffective(const AdminEffective& effective);
AdminEffective ParseAdminEffective(std::string_view reply);

struct PermissionVerdict {
    bool allowed = false;
    std::string request;  // the request name as the server spells it
    std::string level;    // who the account is, as in AuditRecord.h
    std::string rule;     // the refusing rule's name; "none" when allowed
    std::string text;     // the rule for the eye
    std::string subject;  // the department, account or role it refused
    bool operator==(const PermissionVerdict&) const = default;
};

std::string FormatPermissionVerdict(const PermissionVerdict& verdict);
// A verdict with an empty request when `reply` is none (an "error:" reply).
PermissionVerdict ParsePermissionVerdict(std::string_view reply);

}  // namespace warden

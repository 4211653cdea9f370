// The requests the server answers, in the order names are tried, how each
// name is compared, and what each needs from the connection that sends it.
// Three names must match byte for byte; the rest match in any letter case.
//
// The last two columns are the whole delegation model in one place: the
// super administrator may send everything; a second-level administrator
// (a directory account with a row in the admin store) only what his
// departments and roles allow; a directory account without a row only
// "QueryUserAdminDepts.asp" for himself. Delegation.cpp carries each need
// out; README "Who may do what" states the same table.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace warden {

enum class NameMatch { kAnyCase, kExact };

// Whether a request only reads, or may change the directory, the admin store
// or the roles file.
enum class Effect { kReads, kChanges };

// What a request needs from a second-level administrator, read from the
// parameters named in the entry's keys. A department is in scope when it is
// one of his departments or lies below one, strictly inside when it lies
// below one; a user is in scope when one of his departments is in scope; an
// account is protected when it is an administrator other than the sender.
enum class Need {
    kNothing,             // the login itself: anyone, even before a login
    kOwnAccount,          // keys[0] names the sender; open to every directory account
    kOwnAdminAccount,     // keys[0] names the sender
    kDeptInScope,         // every key names a department in scope
    kDeptStrictlyInside,  // every key names a department strictly inside
    kDeptChange,          // the department strictly inside; for a move, the new parent in scope
    kUserInScope,         // keys[0] names a user in scope
    kUserWrite,           // see Delegation.cpp: departments, the user, his roles
    kUserDelete,          // every department of the user in scope; the user not protected
    kAdministrator,       // any administrator; the reply holds only what is in his scope
    kSuper,               // the super administrator only
};

struct RequestEntry {
    std::string_view name;
    NameMatch match;
    Effect effect;
    Need need;
    std::array<std::string_view, 2> keys;  // the parameters the need reads; empty when unused
};

inline constexpr size_t kRequestCount = 30;

const std::array<RequestEntry, kRequestCount>& RequestTable();

// Index of the first entry whose name matches `name`; nullopt for none.
std::optional<size_t> FindRequest(std::string_view name);

}  // namespace warden

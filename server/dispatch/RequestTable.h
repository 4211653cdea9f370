// The requests the server answers, in the order names are tried, and how each
// name is compared. Three names must match byte for byte; the rest match in
// any letter case.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace warden {

enum class NameMatch { kAnyCase, kExact };

// Who may send a request once logins are required.
enum class Access {
    kAnyone,    // the login itself
    kLoggedIn,  // any administrator
    kSuper,     // only the super administrator: changes to administrators and roles
};

struct RequestEntry {
    std::string_view name;
    NameMatch match;
    Access access;
};

inline constexpr size_t kRequestCount = 27;

const std::array<RequestEntry, kRequestCount>& RequestTable();

// Index of the first entry whose name matches `name`; nullopt for none.
std::optional<size_t> FindRequest(std::string_view name);

}  // namespace warden

// Password hashing for the admin store: Argon2id in libsodium's self-describing
// text form ("$argon2id$v=19$m=…,t=…,p=…$salt$hash"), so the parameters travel
// with each stored value and can be raised later.
//
// Thread-safe. Hash computations are run one at a time: each takes tens of
// megabytes, and a flood of logins must not multiply that by the worker count.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace warden {

// The stored form of `password`; nullopt when hashing failed (out of memory).
std::optional<std::string> HashPassword(std::string_view password);

// True when `stored` is a hash made by HashPassword (or an older Argon2 form),
// false when it is a legacy plain-text password.
bool IsPasswordHash(std::string_view stored);

struct PasswordCheck {
    bool matches = false;
    // The stored value should be replaced by HashPassword(password): it is
    // plain text, or a hash with weaker parameters than today's.
    bool needsRehash = false;
};

// Compares `password` with a stored value, hashed or plain text.
PasswordCheck CheckPassword(std::string_view stored, std::string_view password);

}  // namespace warden

// Users' passwords as Argon2id hashes (libsodium's self-describing string
// form, so the cost parameters can be raised later without a schema change).
// Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace warden::vexdir {

// Throws ImError when hashing fails (out of memory).
std::string HashPassword(std::string_view password);

// True when `text` has the form HashPassword gives.
bool IsPasswordHash(std::string_view text);

// False for an empty or malformed hash: a user whose password was never set
// cannot log in.
bool VerifyPasswordHash(const std::string& hash, std::string_view password);

}  // namespace warden::vexdir

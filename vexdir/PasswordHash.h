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

// A hash of a password nobody knows, to check against when there is no
// stored hash, so that the time taken does not tell whether there is one.
const std::string& DummyPasswordHash();

// False for an empty or malformed hash: a user whose password was never set
// cannot log in. An empty hash costs the time of a real check.
bool VerifyPasswordHash(const std::string& hash, std::string_view password);

}  // namespace warden::vexdir

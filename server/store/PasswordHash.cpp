#include "server/store/PasswordHash.h"

#include <sodium.h>

#include <mutex>
#include <stdexcept>

namespace warden {

namespace {

// Interactive limits: about a tenth of a second and 64 MiB per hash, which
// suits a login that a person waits for.
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

std::mutex& HashMutex() {
    static std::mutex mutex;
    return mutex;
}

void InitSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw std::runtime_error("libsodium cannot be initialised");
}

}  // namespace

std::optional<std::string> HashPassword(std::string_view password) {
    InitSodium();
    char out[crypto_pwhash_STRBYTES];
    std::lock_guard lock(HashMutex());
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), kOpsLimit, kMemLimit,
                              crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return std::nullopt;
    }
    return std::string(out);
}

bool IsPasswordHash(std::string_view stored) {
    return stored.starts_with("$argon2");
}

PasswordCheck CheckPassword(std::string_view stored, std::string_view password) {
    PasswordCheck result;
    if (!IsPasswordHash(stored)) {
        // A row written before hashing existed: compare the text itself, in
        // time that does not depend on where the two first differ.
        result.matches =
            stored.size() == password.size() &&
            (stored.empty() || sodium_memcmp(stored.data(), password.data(), stored.size()) == 0);
        result.needsRehash = true;
        return result;
    }
    InitSodium();
    std::string hash(stored);  // the C interface wants a terminated string
    {
        std::lock_guard lock(HashMutex());
        result.matches =
            crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
    }
    // Only a value that proved the password may be replaced; anything but 0
    // (weaker parameters, another variant, unreadable) asks for a new hash.
    result.needsRehash = crypto_pwhash_str_needs_rehash(hash.c_str(), kOpsLimit, kMemLimit) != 0;
    return result;
}

}  // namespace warden

#include "vexdir/PasswordHash.h"

#include <sodium.h>

#include <mutex>

#include "directory/ImError.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

namespace {

void InitialiseSodium() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (sodium_init() < 0) {
            throw ImError(im_code::kFail, kErrorSource, "cannot initialise libsodium");
        }
    });
}

}  // namespace

std::string HashPassword(std::string_view password) {
    InitialiseSodium();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(
            hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        throw ImError(im_code::kFail, kErrorSource, "cannot hash the password (out of memory)");
    }
    return hash;
}

const std::string& DummyPasswordHash() {
    // Made at first use with today's parameters, so that it costs exactly
    // what a stored hash costs; its password is random and never known.
    static const std::string dummy = [] {
        InitialiseSodium();
        unsigned char secret[32];
        randombytes_buf(secret, sizeof secret);
        return HashPassword(std::string_view(reinterpret_cast<const char*>(secret), sizeof secret));
    }();
    return dummy;
}

bool IsPasswordHash(std::string_view text) {
    return text.starts_with(crypto_pwhash_argon2id_STRPREFIX) &&
           text.size() < crypto_pwhash_STRBYTES;
}

bool VerifyPasswordHash(const std::string& hash, std::string_view password) {
    if (hash.empty()) {
        // As slow as a real check, so that the time taken does not tell
        // which accounts have a password.
        VerifyPasswordHash(DummyPasswordHash(), password);
        return false;
    }
    if (hash.empty() || hash.size() >= crypto_pwhash_STRBYTES) return false;
    InitialiseSodium();
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

}  // namespace warden::vexdir

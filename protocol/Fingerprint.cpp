#include "protocol/Fingerprint.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace warden {

std::string FormatFingerprint(std::span<const unsigned char> digest) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(digest.size() * 3);
    for (unsigned char byte : digest) {
        if (!text.empty()) text += ':';
        text += kHex[byte >> 4];
        text += kHex[byte & 0x0F];
    }
    return text;
}

std::string Sha256Fingerprint(const X509& certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(&certificate, EVP_sha256(), digest, &size) != 1) return {};
    return FormatFingerprint({digest, size});
}

}  // namespace warden

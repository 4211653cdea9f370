#include "protocol/Fingerprint.h"

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

}  // namespace warden

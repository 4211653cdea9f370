#include "protocol/NameRules.h"

namespace warden {

bool IsCarriableName(std::string_view name) {
    constexpr std::string_view kReserved = "\\,`|^;=?";
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == 0x7F) return false;
        if (kReserved.find(static_cast<char>(c)) != std::string_view::npos) return false;
        // U+0080..U+009F, the second set of control characters, in UTF-8.
        if (c == 0xC2 && i + 1 < name.size()) {
            const unsigned char next = static_cast<unsigned char>(name[i + 1]);
            if (next >= 0x80 && next <= 0x9F) return false;
        }
    }
    return true;
}

bool IsCarriableValue(std::string_view value) {
    return value.find_first_of("`?") == std::string_view::npos;
}

size_t CharacterCount(std::string_view text) {
    size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;  // not a continuation byte
    }
    return count;
}

}  // namespace warden

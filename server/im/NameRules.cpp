#include "server/im/NameRules.h"

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

}  // namespace warden

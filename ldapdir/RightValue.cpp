#include "ldapdir/RightValue.h"

namespace warden::ldapdir {

std::string RightValue(const std::string& identity, bool deny, bool allow) {
    return identity + (deny ? " 1" : " 0") + (allow ? " 1" : " 0");
}

std::optional<RightSetting> ParseRightValue(const std::string& value) {
    // The identity may hold anything but a space; the flags are the last
    // four characters.
    if (value.size() < 5) return std::nullopt;
    const size_t n = value.size();
    if (value[n - 4] != ' ' || value[n - 2] != ' ') return std::nullopt;
    const char deny = value[n - 3];
    const char allow = value[n - 1];
    if ((deny != '0' && deny != '1') || (allow != '0' && allow != '1')) return std::nullopt;
    RightSetting setting{value.substr(0, n - 4), deny == '1', allow == '1'};
    if (setting.identity.find(' ') != std::string::npos) return std::nullopt;
    return setting;
}

}  // namespace warden::ldapdir

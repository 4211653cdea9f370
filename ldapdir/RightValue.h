// A right of a role as one value of wardenRight: the identity, the deny flag
// and the allow flag, separated by single spaces ("RIGHT_INNER_SEND_SMS 0 1").
#pragma once

#include <optional>
#include <string>

namespace warden::ldapdir {

struct RightSetting {
    std::string identity;
    bool deny = false;
    bool allow = false;
};

std::string RightValue(const std::string& identity, bool deny, bool allow);

// nullopt for a value of another form (left alone, never rewritten).
std::optional<RightSetting> ParseRightValue(const std::string& value);

}  // namespace warden::ldapdir

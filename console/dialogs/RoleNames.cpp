#include "console/dialogs/RoleNames.h"

#include "protocol/SplitList.h"

namespace warden::console {

bool IsBuiltInRole(std::string_view role) {
    std::string bare;
    for (char c : role) {
        if (c != ';') bare += c;
    }
    return EqualsNoCase(bare, "user") || bare == "管理员";
}

std::vector<std::string> AssignableRoles(std::string_view reply, std::string_view delimiters) {
    std::vector<std::string> roles;
    for (std::string& piece : SplitList(reply, delimiters)) {
        if (Trim(piece).empty() || IsBuiltInRole(piece)) continue;
        roles.push_back(std::move(piece));
    }
    return roles;
}

}  // namespace warden::console

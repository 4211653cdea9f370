// The read-only user information panel below the user list.
#pragma once

#include <string>

#include "console/core/UserList.h"

namespace warden::console {

struct UserPanel {
    std::string account;
    std::string name;
    std::string position;
    std::string gender;  // "男" or "女"; empty before any user was clicked
    std::string mobile;
    std::string phone;
    std::string email;
    std::string level;
    std::string roles;
};

// The panel for a list row: "男" only when the gender column is "男",
// every other value shows as "女".
UserPanel PanelFromRow(const UserRow& row, std::string roles);

}  // namespace warden::console

// What the login learned, read by every window afterwards: who is logged in,
// at which level, and which departments a second-level administrator manages.
#pragma once

#include <filesystem>
#include <string>

#include "protocol/Replies.h"

namespace warden::console {

struct LoginState {
    std::string loginName;     // as typed, trimmed; sent as "username" later
    std::string superFlag;     // "1" for the super administrator
    std::string managedDepts;  // "\A\B;\C;" for a second-level administrator
    std::string server;        // "address:port" the login connected to
    std::string clientVersion = reply::kProtocolVersion;
    std::filesystem::path startDir;  // where client.cfg lives
    // The super administrator logged in with the shipped initial password:
    // the console asks him to change it at once.
    bool initialPassword = false;

    bool IsSuper() const { return superFlag == "1"; }
};

}  // namespace warden::console

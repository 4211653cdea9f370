// Which names the protocol can carry back to a console. Lists on the wire are
// cut at "\", ",", "`", "|", "^", ";", "=" and "?", so a department, user or
// role whose name held one of them could be created but never named again;
// such names are refused when something is created or renamed.
//
// Thread-safety: no state.
#pragma once

#include <string_view>

namespace warden {

// True when `name` holds no reserved character and no control character.
bool IsCarriableName(std::string_view name);

// The reply that refuses a name which is not carriable.
inline constexpr const char kReservedNameReply[] =
    "error:名称中不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";

}  // namespace warden

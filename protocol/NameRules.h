// What text the protocol can carry, shared by the server (which refuses it)
// and the console (which refuses it before sending).
//
// Lists on the wire are cut at "\", ",", "`", "|", "^", ";", "=" and "?", so a
// department, user or role whose name held one of them could be created but
// never named again; such names are refused when something is created or
// renamed. Values in general may not hold "`" or "?": the first ends the item,
// the second breaks the request apart.
//
// Every field also has a maximum length, counted in characters (code points
// of the UTF-8 text): generous for real names, small enough that no single
// value makes every console that lists it receive megabytes.
//
// Thread-safety: no state.
#pragma once

#include <cstddef>
#include <string_view>

namespace warden {

// True when `name` holds no reserved character and no control character.
bool IsCarriableName(std::string_view name);

// True when `value` holds neither "`" nor "?", the two characters no value of
// a request can carry.
bool IsCarriableValue(std::string_view value);

// The reply that refuses a name which is not carriable.
inline constexpr const char kReservedNameReply[] =
    "error:名称中不能含有以下字符: \\ , ` | ^ ; = ? 以及控制字符";

// Maximum lengths, in characters.
namespace limits {
inline constexpr size_t kDeptName = 64;    // one department's name, not its path
inline constexpr size_t kDeptPath = 1024;  // a whole department path
inline constexpr size_t kRoleName = 64;
inline constexpr size_t kRoleDescription = 256;
inline constexpr size_t kAccount = 64;  // a login name
inline constexpr size_t kPassword = 128;
inline constexpr size_t kUserName = 64;  // a user's display name
inline constexpr size_t kPosition = 64;
inline constexpr size_t kMobile = 32;
inline constexpr size_t kPhone = 32;
inline constexpr size_t kEmail = 254;
inline constexpr size_t kLevel = 9;  // decimal digits of a user's level
// Items in one list of departments or roles (a user's, or those a
// second-level administrator manages or may hand out), each item within its
// own limit above.
inline constexpr size_t kListItems = 256;
}  // namespace limits

// The number of characters (code points) in UTF-8 `text`.
size_t CharacterCount(std::string_view text);

}  // namespace warden

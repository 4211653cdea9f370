// Roles and their rights: the flat texts the console reads, built from the
// directory's XML, and the writing of changed rights.
//
// Thread-safety: the functions keep no state; the root serialises itself.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "directory/ImSdk.h"

namespace warden {

// The rights the server knows, in the order the console lists them.
inline constexpr std::array<std::string_view, 10> kRightIdentities = {
    "RIGHT_INNER_SEND_SMS",
    "RIGHT_INNER_LAUNCH_CONVERSATION_N",
    "RIGHT_INNER_SEND_FILE_N(M)",
    "RIGHT_INNER_SEND_FILE_BYP2P",
    "RIGHT_INNER_SEND_BROADCAST_MSG",
    "RIGHT_INNER_REMOTE_LOGON",
    "RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT",
    "RIGHT_OUT_CREATE_MULTI_SESSION",
    "RIGHT_OUT_SEND_FILE_LIMIT",
    "RIGHT_OUT_SEND_FILE_NOLIMIT",
};

// The description held in a role's information text (RoleDescribe="…").
// An XML text is parsed, so quotes and entities come back as written; other
// text loses the character after "RoleDescribe=" and its last four
// characters. The empty text when there is no "RoleDescribe=".
std::string GetRoleDescriptionText(std::string_view info);

// One entry per "Item" of a role's right list, in order, joined by "^":
// identity|deny|allow|name|, a flag being "1" for the value "true" in any
// letter case and "0" otherwise, the name from GetRightNames(…, true). Throws
// ImError on a text that is not XML or a failed lookup of a right.
std::string GetRoleRightsList(ImRoot& root, std::string_view roleRightsXml);

// The texts of the items of a right's information, each followed by "|".
// With `namesOnly`, the right's display name followed by "|": the item whose
// "key" is "Name" in any letter case (the last one if there are several), or
// the empty text when there is none.
std::string GetRightNames(ImRoot& root, const std::string& identity, bool namesOnly);

// GetRightNames(…, false) of every known right, joined by "^"; empty texts
// before the first non-empty one vanish, later ones leave an empty piece.
std::string GetAllRights(ImRoot& root);

// Applies `update` (entries "identity|deny|allow" joined by "^") to `role`:
// a right missing from the role is added, a flag "1" is set (deny before
// allow), other flags leave the setting alone. An entry of fewer than three
// pieces is skipped. Returns "info:", or "error:权限不能为空" for an empty
// update.
std::string UpdateRoleRights(ImRoot& root, const std::string& role, const std::string& update);

}  // namespace warden

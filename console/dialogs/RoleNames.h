// How the dialogs read role lists: the roles every user has ("User") and
// the directory's own administrator role ("管理员") are never handed out by
// hand, whatever their letter case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

// True for "User" and "管理员", letter case ignored, once any ";" is removed.
bool IsBuiltInRole(std::string_view role);

// The role names of a list reply cut at `delimiters`: blank pieces (the
// server's " " for none) are dropped and built-in roles left out; the
// others stay as received.
std::vector<std::string> AssignableRoles(std::string_view reply, std::string_view delimiters);

}  // namespace warden::console

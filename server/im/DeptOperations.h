// Composite operations on the department tree of the IM directory.
//
// Thread-safety: the functions keep no state; the root serialises itself.
#pragma once

#include <string>

#include "directory/ImSdk.h"

namespace warden {

// Adds department `name` under `parentPath` and returns the reply for the
// console: "info:添加部门成功", or an "error:" text for an empty name, a name
// the protocol cannot carry, a department that already exists, or a refusal
// of the directory (IsRefusal: a missing parent, a name taken meanwhile).
// Any other ImError, and every one of the existence check, propagates.
std::string AddDepartment(ImRoot& root, const std::string& name, const std::string& parentPath);

}  // namespace warden

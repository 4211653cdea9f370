// Finding departments, users and roles by the names callers use, inside an
// operation's transaction. The Require... forms throw ImError(kNotFound).
//
// Thread-safety: as the connection passed in (one thread at a time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vexdir/Sqlite.h"

namespace warden::vexdir {

// The number of the top level, the parent of every top-level department.
inline constexpr int64_t kTopLevel = 0;

// The names of a path from the top level down: cut at "\" with empty pieces
// skipped, so "\A\B", "A\B" and "\A\B\" all name B under A.
std::vector<std::string> SplitDeptPath(std::string_view path);

// The department a path names; kTopLevel for a path without names; nullopt
// when some name along the way does not exist.
std::optional<int64_t> FindDept(sqlite::Connection& db, std::string_view path);

// As FindDept, but a missing department throws; `allowTop` admits the top level.
int64_t RequireDept(sqlite::Connection& db, std::string_view path, bool allowTop);

// The child of `parent` named `name` (any ASCII case), if any.
std::optional<int64_t> FindChildDept(sqlite::Connection& db, int64_t parent, std::string_view name);

// The names from the top level down to `deptId`, joined by "\", without a
// leading "\".
std::string DeptPathOf(sqlite::Connection& db, int64_t deptId);

std::optional<int64_t> FindUser(sqlite::Connection& db, std::string_view account);
int64_t RequireUser(sqlite::Connection& db, std::string_view account);

std::optional<int64_t> FindRole(sqlite::Connection& db, std::string_view name);
int64_t RequireRole(sqlite::Connection& db, std::string_view name);

int64_t RequireRight(sqlite::Connection& db, std::string_view identity);

}  // namespace warden::vexdir

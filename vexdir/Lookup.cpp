#include "vexdir/Lookup.h"

#include "protocol/SplitList.h"
#include "directory/ImError.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

namespace {

constexpr size_t kMaxDepth = 1 << 16;

[[noreturn]] void NotFound(std::string_view what, std::string_view name) {
    throw ImError(im_code::kNotFound, kErrorSource,
                  std::string(what) + " \"" + std::string(name) + "\" does not exist");
}

}  // namespace

std::vector<std::string> SplitDeptPath(std::string_view path) {
    return SplitList(path, "\\");
}

std::optional<int64_t> FindChildDept(sqlite::Connection& db, int64_t parent,
                                     std::string_view name) {
    auto stmt = db.Prepare("SELECT DeptID FROM vex_dept WHERE PDeptID = ? AND DeptName = ?");
    stmt.Bind(1, parent).Bind(2, name);
    if (!stmt.Step()) return std::nullopt;
    return stmt.Int(0);
}

std::optional<int64_t> FindDept(sqlite::Connection& db, std::string_view path) {
    int64_t current = kTopLevel;
    for (const std::string& name : SplitDeptPath(path)) {
        auto child = FindChildDept(db, current, name);
        if (!child) return std::nullopt;
        current = *child;
    }
    return current;
}

int64_t RequireDept(sqlite::Connection& db, std::string_view path, bool allowTop) {
    auto id = FindDept(db, path);
    if (!id) NotFound("department", path);
    if (*id == kTopLevel && !allowTop) {
        throw ImError(im_code::kInvalidArgument, kErrorSource, "no department named (empty path)");
    }
    return *id;
}

std::string DeptPathOf(sqlite::Connection& db, int64_t deptId) {
    std::vector<std::string> names;
    int64_t current = deptId;
    while (current != kTopLevel) {
        auto stmt = db.Prepare("SELECT PDeptID, DeptName FROM vex_dept WHERE DeptID = ?");
        stmt.Bind(1, current);
        if (!stmt.Step()) break;
        names.push_back(stmt.Text(1));
        current = stmt.Int(0);
        // Moves never make a cycle; this only keeps a damaged file from
        // looping forever.
        if (names.size() > kMaxDepth) {
            throw ImError(im_code::kFail, kErrorSource, "department tree holds a cycle");
        }
    }
    std::string path;
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += *it;
    }
    return path;
}

std::optional<int64_t> FindUser(sqlite::Connection& db, std::string_view account) {
    auto stmt = db.Prepare("SELECT UserID FROM vex_user WHERE Account = ?");
    stmt.Bind(1, account);
    if (!stmt.Step()) return std::nullopt;
    return stmt.Int(0);
}

int64_t RequireUser(sqlite::Connection& db, std::string_view account) {
    auto id = FindUser(db, account);
    if (!id) NotFound("user", account);
    return *id;
}

std::optional<int64_t> FindRole(sqlite::Connection& db, std::string_view name) {
    auto stmt = db.Prepare("SELECT RoleID FROM vex_role WHERE RoleName = ?");
    stmt.Bind(1, name);
    if (!stmt.Step()) return std::nullopt;
    return stmt.Int(0);
}

int64_t RequireRole(sqlite::Connection& db, std::string_view name) {
    auto id = FindRole(db, name);
    if (!id) NotFound("role", name);
    return *id;
}

int64_t RequireRight(sqlite::Connection& db, std::string_view identity) {
    auto stmt = db.Prepare("SELECT RightID FROM vex_right WHERE Identity = ?");
    stmt.Bind(1, identity);
    if (!stmt.Step()) NotFound("right", identity);
    return stmt.Int(0);
}

}  // namespace warden::vexdir

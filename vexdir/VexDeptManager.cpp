#include "vexdir/VexDeptManager.h"

#include "directory/XmlText.h"
#include "vexdir/Lookup.h"
#include "vexdir/Names.h"
#include "vexdir/Schema.h"

namespace warden::vexdir {

namespace {

using sqlite::Connection;

[[noreturn]] void Fail(uint32_t code, const std::string& message) {
    throw ImError(code, kErrorSource, message);
}

void RequireFreeName(Connection& db, int64_t parent, std::string_view name, int64_t self) {
    auto existing = FindChildDept(db, parent, name);
    if (existing && *existing != self) {
        Fail(im_code::kAlreadyExists, "department \"" + std::string(name) + "\" already exists");
    }
}

int64_t NextSortId(Connection& db, int64_t parent) {
    auto last = sqlite::QueryInt(db, "SELECT MAX(SortID) FROM vex_dept WHERE PDeptID = ?", parent);
    return last ? *last + kSortStep : kSortStep;
}

bool IsInSubtree(Connection& db, int64_t candidate, int64_t root) {
    for (int64_t current = candidate; current != kTopLevel;) {
        if (current == root) return true;
        auto parent =
            sqlite::QueryInt(db, "SELECT PDeptID FROM vex_dept WHERE DeptID = ?", current);
        if (!parent) return false;
        current = *parent;
    }
    return false;
}

bool IsMember(Connection& db, int64_t dept, int64_t user) {
    return sqlite::QueryInt(db, "SELECT 1 FROM vex_dept_user WHERE DeptID = ? AND UserID = ?", dept,
                            user)
        .has_value();
}

}  // namespace

int VexDeptManager::AddDept(const std::string& name, const std::string& parentPath) {
    CheckDeptName(name);
    m_db.Write([&](Connection& db) {
        int64_t parent = RequireDept(db, parentPath, true);
        RequireFreeName(db, parent, name, -1);
        db.Prepare("INSERT INTO vex_dept(PDeptID, DeptName, SortID) VALUES(?, ?, ?)")
            .Bind(1, parent)
            .Bind(2, name)
            .Bind(3, NextSortId(db, parent))
            .Run();
    });
    return 0;
}

bool VexDeptManager::IsDeptExist(const std::string& path) {
    return m_db.Read([&](Connection& db) {
        auto id = FindDept(db, path);
        return id.has_value() && *id != kTopLevel;
    });
}

int VexDeptManager::DeleteDept(const std::string& path, int flags) {
    (void)flags;
    m_db.Write([&](Connection& db) {
        int64_t id = RequireDept(db, path, false);
        if (sqlite::QueryInt(db, "SELECT 1 FROM vex_dept WHERE PDeptID = ? LIMIT 1", id)) {
            Fail(im_code::kNotEmpty, "department has sub-departments");
        }
        if (sqlite::QueryInt(db, "SELECT 1 FROM vex_dept_user WHERE DeptID = ? LIMIT 1", id)) {
            Fail(im_code::kNotEmpty, "department has users");
        }
        db.Prepare("DELETE FROM vex_dept WHERE DeptID = ?").Bind(1, id).Run();
    });
    return 0;
}

void VexDeptManager::ChangeDeptName(const std::string& path, const std::string& newName) {
    CheckDeptName(newName);
    m_db.Write([&](Connection& db) {
        int64_t id = RequireDept(db, path, false);
        auto parent = sqlite::QueryInt(db, "SELECT PDeptID FROM vex_dept WHERE DeptID = ?", id);
        RequireFreeName(db, parent.value_or(kTopLevel), newName, id);
        db.Prepare("UPDATE vex_dept SET DeptName = ? WHERE DeptID = ?")
            .Bind(1, newName)
            .Bind(2, id)
            .Run();
    });
}

void VexDeptManager::MoveDept(const std::string& path, const std::string& newParentPath) {
    m_db.Write([&](Connection& db) {
        int64_t id = RequireDept(db, path, false);
        int64_t newParent = RequireDept(db, newParentPath, true);
        if (IsInSubtree(db, newParent, id)) {
            Fail(im_code::kInvalidArgument, "a department cannot move into its own subtree");
        }
        int64_t oldParent = kTopLevel;
        std::string name;
        {
            auto current = db.Prepare("SELECT PDeptID, DeptName FROM vex_dept WHERE DeptID = ?");
            current.Bind(1, id);
            current.Step();
            oldParent = current.Int(0);
            name = current.Text(1);
        }
        if (oldParent == newParent) return;
        RequireFreeName(db, newParent, name, id);
        db.Prepare("UPDATE vex_dept SET PDeptID = ?, SortID = ? WHERE DeptID = ?")
            .Bind(1, newParent)
            .Bind(2, NextSortId(db, newParent))
            .Bind(3, id)
            .Run();
    });
}

void VexDeptManager::RemoveUserFromDept(const std::string& user, const std::string& deptPath) {
    m_db.Write([&](Connection& db) {
        int64_t userId = RequireUser(db, user);
        int64_t deptId = RequireDept(db, deptPath, false);
        db.Prepare("DELETE FROM vex_dept_user WHERE DeptID = ? AND UserID = ?")
            .Bind(1, deptId)
            .Bind(2, userId)
            .Run();
        if (db.Changes() == 0) {
            Fail(im_code::kNotFound, "user \"" + user + "\" is not in \"" + deptPath + "\"");
        }
    });
}

void VexDeptManager::AddUserToDept(const std::string& user, const std::string& sourceDept,
                                   const std::string& targetDept, int copy) {
    m_db.Write([&](Connection& db) {
        int64_t userId = RequireUser(db, user);
        int64_t target = RequireDept(db, targetDept, false);
        if (!SplitDeptPath(sourceDept).empty()) {
            int64_t source = RequireDept(db, sourceDept, false);
            if (!IsMember(db, source, userId)) {
                Fail(im_code::kNotFound, "user \"" + user + "\" is not in \"" + sourceDept + "\"");
            }
            if (copy == 0 && source != target) {
                db.Prepare("DELETE FROM vex_dept_user WHERE DeptID = ? AND UserID = ?")
                    .Bind(1, source)
                    .Bind(2, userId)
                    .Run();
            }
        }
        db.Prepare("INSERT OR IGNORE INTO vex_dept_user(DeptID, UserID) VALUES(?, ?)")
            .Bind(1, target)
            .Bind(2, userId)
            .Run();
    });
}

std::string VexDeptManager::GetChildDepts(const std::string& path) {
    return m_db.Read([&](Connection& db) {
        int64_t parent = RequireDept(db, path, true);
        std::string xml = "<Departments>";
        auto stmt =
            db.Prepare("SELECT DeptName FROM vex_dept WHERE PDeptID = ? ORDER BY SortID, DeptID");
        stmt.Bind(1, parent);
        while (stmt.Step()) {
            xml += "<Department Name=\"";
            AppendXmlEscaped(xml, stmt.Text(0));
            xml += "\"/>";
        }
        xml += "</Departments>";
        return xml;
    });
}

namespace {

// Calls `visit` with each account of the department at `path`, in order.
template <typename Visit>
void ForEachDeptUser(Connection& db, const std::string& path, Visit&& visit) {
    auto stmt = db.Prepare(
        "SELECT u.Account FROM vex_dept_user m JOIN vex_user u ON u.UserID = m.UserID "
        "WHERE m.DeptID = ? ORDER BY m.MemberID");
    stmt.Bind(1, RequireDept(db, path, true));
    while (stmt.Step()) visit(stmt.Text(0));
}

}  // namespace

std::string VexDeptManager::GetDeptUsers(const std::string& path) {
    return m_db.Read([&](Connection& db) {
        std::string xml = "<Users>";
        ForEachDeptUser(db, path, [&xml](const std::string& account) {
            xml += "<User Name=\"";
            AppendXmlEscaped(xml, account);
            xml += "\"/>";
        });
        xml += "</Users>";
        return xml;
    });
}

std::optional<std::vector<std::string>> VexDeptManager::ListDeptUsers(const std::string& path) {
    return m_db.Read([&](Connection& db) {
        std::vector<std::string> accounts;
        ForEachDeptUser(
            db, path, [&accounts](std::string account) { accounts.push_back(std::move(account)); });
        return std::optional<std::vector<std::string>>(std::move(accounts));
    });
}

std::string VexDeptManager::GetUserDepts(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        int64_t userId = RequireUser(db, user);
        std::vector<int64_t> depts;
        {
            auto stmt =
                db.Prepare("SELECT DeptID FROM vex_dept_user WHERE UserID = ? ORDER BY MemberID");
            stmt.Bind(1, userId);
            while (stmt.Step()) depts.push_back(stmt.Int(0));
        }
        std::string xml = "<Departments>";
        for (int64_t dept : depts) {
            xml += "<Department Name=\"";
            AppendXmlEscaped(xml, DeptPathOf(db, dept));
            xml += "\"/>";
        }
        xml += "</Departments>";
        return xml;
    });
}

}  // namespace warden::vexdir

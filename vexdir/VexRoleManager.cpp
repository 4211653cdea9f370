#include "vexdir/VexRoleManager.h"

#include "directory/XmlText.h"
#include "vexdir/Lookup.h"
#include "vexdir/Names.h"

namespace warden::vexdir {

namespace {

using sqlite::Connection;

[[noreturn]] void Fail(uint32_t code, const std::string& message) {
    throw ImError(code, kErrorSource, message);
}

bool IsBuiltIn(Connection& db, int64_t roleId) {
    return sqlite::QueryInt(db, "SELECT BuiltIn FROM vex_role WHERE RoleID = ?", roleId)
               .value_or(0) != 0;
}

std::string RoleList(sqlite::Statement& stmt) {
    std::string xml = "<VEXSRoleList>";
    while (stmt.Step()) {
        xml += "<Item RoleName=\"";
        AppendXmlEscaped(xml, stmt.Text(0));
        xml += "\"></Item>";
    }
    xml += "</VEXSRoleList>";
    return xml;
}

}  // namespace

std::string VexRoleManager::GetAllRoles() {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare("SELECT RoleName FROM vex_role ORDER BY RoleID");
        return RoleList(stmt);
    });
}

std::string VexRoleManager::GetRoleDescription(const std::string& role) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare("SELECT Description FROM vex_role WHERE RoleID = ?");
        stmt.Bind(1, RequireRole(db, role));
        stmt.Step();
        return "<Role RoleDescribe=\"" + XmlEscaped(stmt.Text(0)) + "\" />";
    });
}

std::string VexRoleManager::GetRoleRights(const std::string& role) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare(
            "SELECT g.Identity, rr.Deny, rr.Allow FROM vex_role_right rr "
            "JOIN vex_right g ON g.RightID = rr.RightID WHERE rr.RoleID = ? ORDER BY g.RightID");
        stmt.Bind(1, RequireRole(db, role));
        std::string xml = "<RoleRights>";
        while (stmt.Step()) {
            xml += "<Item Identity=\"";
            AppendXmlEscaped(xml, stmt.Text(0));
            xml += stmt.Int(1) ? "\" Deny=\"true\"" : "\" Deny=\"false\"";
            xml += stmt.Int(2) ? " Allow=\"true\"/>" : " Allow=\"false\"/>";
        }
        xml += "</RoleRights>";
        return xml;
    });
}

std::string VexRoleManager::GetUserRoles(const std::string& user) {
    return m_db.Read([&](Connection& db) {
        auto stmt = db.Prepare(
            "SELECT r.RoleName FROM vex_user_role ur JOIN vex_role r ON r.RoleID = ur.RoleID "
            "WHERE ur.UserID = ? ORDER BY r.RoleID");
        stmt.Bind(1, RequireUser(db, user));
        return RoleList(stmt);
    });
}

void VexRoleManager::AddRole(const std::string& name, const std::string& description) {
    CheckName("role name", name);
    CheckText("role description", description);
    m_db.Write([&](Connection& db) {
        if (FindRole(db, name)) Fail(im_code::kAlreadyExists, "role \"" + name + "\" exists");
        db.Prepare("INSERT INTO vex_role(RoleName, Description) VALUES(?, ?)")
            .Bind(1, name)
            .Bind(2, description)
            .Run();
    });
}

void VexRoleManager::DeleteRole(const std::string& name) {
    m_db.Write([&](Connection& db) {
        int64_t id = RequireRole(db, name);
        if (IsBuiltIn(db, id)) {
            Fail(im_code::kInvalidArgument, "the role \"" + name + "\" cannot be deleted");
        }
        db.Prepare("DELETE FROM vex_role WHERE RoleID = ?").Bind(1, id).Run();
    });
}

void VexRoleManager::UpdateRole(const std::string& name, const std::string& newName,
                                const std::string& description) {
    CheckName("role name", newName);
    CheckText("role description", description);
    m_db.Write([&](Connection& db) {
        int64_t id = RequireRole(db, name);
        std::string current;
        {
            auto stmt = db.Prepare("SELECT RoleName FROM vex_role WHERE RoleID = ?");
            stmt.Bind(1, id);
            stmt.Step();
            current = stmt.Text(0);
        }
        if (newName != current && IsBuiltIn(db, id)) {
            Fail(im_code::kInvalidArgument, "the role \"" + current + "\" cannot be renamed");
        }
        auto other = FindRole(db, newName);
        if (other && *other != id) {
            Fail(im_code::kAlreadyExists, "role \"" + newName + "\" exists");
        }
        db.Prepare("UPDATE vex_role SET RoleName = ?, Description = ? WHERE RoleID = ?")
            .Bind(1, newName)
            .Bind(2, description)
            .Bind(3, id)
            .Run();
    });
}

void VexRoleManager::AddUserToRole(const std::string& user, const std::string& role) {
    m_db.Write([&](Connection& db) {
        int64_t userId = RequireUser(db, user);
        int64_t roleId = RequireRole(db, role);
        db.Prepare("INSERT OR IGNORE INTO vex_user_role(UserID, RoleID) VALUES(?, ?)")
            .Bind(1, userId)
            .Bind(2, roleId)
            .Run();
    });
}

void VexRoleManager::RemoveUserFromRole(const std::string& user, const std::string& role) {
    m_db.Write([&](Connection& db) {
        int64_t userId = RequireUser(db, user);
        int64_t roleId = RequireRole(db, role);
        db.Prepare("DELETE FROM vex_user_role WHERE UserID = ? AND RoleID = ?")
            .Bind(1, userId)
            .Bind(2, roleId)
            .Run();
        if (db.Changes() == 0) {
            Fail(im_code::kNotFound, "user \"" + user + "\" does not hold \"" + role + "\"");
        }
    });
}

void VexRoleManager::AddRightToRole(const std::string& role, const std::string& right) {
    m_db.Write([&](Connection& db) {
        int64_t roleId = RequireRole(db, role);
        int64_t rightId = RequireRight(db, right);
        db.Prepare(
              "INSERT OR IGNORE INTO vex_role_right(RoleID, RightID, Deny, Allow) "
              "SELECT ?, RightID, 0, DefaultAllow FROM vex_right WHERE RightID = ?")
            .Bind(1, roleId)
            .Bind(2, rightId)
            .Run();
    });
}

void VexRoleManager::SetRoleRight(const std::string& role, const std::string& right, int deny,
                                  int allow) {
    m_db.Write([&](Connection& db) {
        int64_t roleId = RequireRole(db, role);
        int64_t rightId = RequireRight(db, right);
        db.Prepare(
              "INSERT INTO vex_role_right(RoleID, RightID, Deny, Allow) VALUES(?, ?, ?, ?) "
              "ON CONFLICT(RoleID, RightID) DO UPDATE SET Deny = excluded.Deny, "
              "Allow = excluded.Allow")
            .Bind(1, roleId)
            .Bind(2, rightId)
            .Bind(3, deny != 0 ? 1 : 0)
            .Bind(4, allow != 0 ? 1 : 0)
            .Run();
    });
}

std::string VexRoleManager::GetRightInfo(const std::string& right) {
    return m_db.Read([&](Connection& db) {
        auto stmt =
            db.Prepare("SELECT Identity, Name, DefaultAllow FROM vex_right WHERE RightID = ?");
        stmt.Bind(1, RequireRight(db, right));
        stmt.Step();
        std::string xml = "<RightInfo><Item key=\"Identity\">";
        AppendXmlEscaped(xml, stmt.Text(0));
        xml += "</Item><Item key=\"Name\">";
        AppendXmlEscaped(xml, stmt.Text(1));
        xml += "</Item><Item key=\"Allow\">";
        xml += stmt.Int(2) ? "1" : "0";
        xml += "</Item></RightInfo>";
        return xml;
    });
}

}  // namespace warden::vexdir

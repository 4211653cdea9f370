// The directory's roles, who holds them and the rights each grants
// (ImRoleManager), and the description of the rights themselves.
//
// Role names compare without regard to ASCII case. The built-in roles "User"
// and "管理员" can be neither deleted nor renamed (their descriptions can
// change). Adding a role or right a holder already has changes nothing;
// removing one it does not have fails. Every failure throws ImError and
// leaves the directory unchanged. Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

class VexRoleManager final : public ImRoleManager {
  public:
    explicit VexRoleManager(VexDatabase& db) : m_db(db) {}

    // <VEXSRoleList><Item RoleName="…"></Item>…</VEXSRoleList>, oldest first.
    std::string GetAllRoles() override;
    // <Role RoleDescribe="…" />: the description is followed by exactly the
    // four characters `" />`.
    std::string GetRoleDescription(const std::string& role) override;
    // <RoleRights><Item Identity="…" Deny="true|false" Allow="true|false"/>…
    // in the order of the rights' list.
    std::string GetRoleRights(const std::string& role) override;
    std::string GetUserRoles(const std::string& user) override;
    void AddRole(const std::string& name, const std::string& description) override;
    // Also takes the role from every user who holds it.
    void DeleteRole(const std::string& name) override;
    // Keeps the role's users and rights. `newName` may be the role's own name
    // in other letter case; another role's name fails.
    void UpdateRole(const std::string& name, const std::string& newName,
                    const std::string& description) override;
    void AddUserToRole(const std::string& user, const std::string& role) override;
    void RemoveUserFromRole(const std::string& user, const std::string& role) override;
    // A right newly added to a role is allowed as the right's default says.
    void AddRightToRole(const std::string& role, const std::string& right) override;
    // Sets both flags (non-zero = set); the role gains the right if it lacks it.
    void SetRoleRight(const std::string& role, const std::string& right, int deny,
                      int allow) override;

    // <RightInfo><Item key="Identity">…</Item><Item key="Name">…</Item>
    // <Item key="Allow">1|0</Item></RightInfo>; the last is the default.
    std::string GetRightInfo(const std::string& right);

  private:
    VexDatabase& m_db;
};

}  // namespace warden::vexdir

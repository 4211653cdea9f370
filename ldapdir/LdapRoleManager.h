// Roles, their holders and their rights on LDAP (ImRoleManager), with the
// embedded directory's rules: role names compare without regard to case, the
// built-in roles "User" and "管理员" can be neither deleted nor renamed,
// adding what a holder has changes nothing, removing what it lacks fails.
// Roles come oldest first; rights in the order of the rights' list.
//
// Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"
#include "ldapdir/UserStore.h"

namespace warden::ldapdir {

class LdapRoleManager final : public ImRoleManager {
  public:
    LdapRoleManager(LdapTree& tree, UserStore& users) : m_tree(tree), m_users(users) {}

    std::string GetAllRoles() override;
    std::string GetRoleDescription(const std::string& role) override;
    std::string GetRoleRights(const std::string& role) override;
    std::string GetUserRoles(const std::string& user) override;
    void AddRole(const std::string& name, const std::string& description) override;
    // Also takes the role from every user who holds it.
    void DeleteRole(const std::string& name) override;
    void UpdateRole(const std::string& name, const std::string& newName,
                    const std::string& description) override;
    void AddUserToRole(const std::string& user, const std::string& role) override;
    void RemoveUserFromRole(const std::string& user, const std::string& role) override;
    void AddRightToRole(const std::string& role, const std::string& right) override;
    void SetRoleRight(const std::string& role, const std::string& right, int deny,
                      int allow) override;

    // <RightInfo><Item key="Identity">…</Item><Item key="Name">…</Item>
    // <Item key="Allow">1|0</Item></RightInfo>, from the rights' list.
    static std::string GetRightInfo(const std::string& right);

  private:
    // Sets the role's right to `deny`/`allow`, or when `keepIfHeld` to the
    // right's default only if the role lacks it.
    void WriteRight(const std::string& role, const std::string& right, bool deny, bool allow,
                    bool keepIfHeld);

    LdapTree& m_tree;
    UserStore& m_users;
};

}  // namespace warden::ldapdir

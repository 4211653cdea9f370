// The root object of the LDAP back-end (ImRoot): owns the connections and
// the managers, all of which live as long as the root. Makes no connection
// before the first call that needs one. Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "ldapdir/LdapApplication.h"
#include "ldapdir/LdapDeptManager.h"
#include "ldapdir/LdapRoleManager.h"
#include "ldapdir/LdapTree.h"
#include "ldapdir/LdapUserManager.h"
#include "ldapdir/UserStore.h"

namespace warden::ldapdir {

class LdapRoot final : public ImRoot {
  public:
    explicit LdapRoot(const LdapSettings& settings);

    // The directory is named by the settings' URI: the IM address and port
    // the server gives are checked and otherwise not used.
    void SetServerAddress(const std::string& address) override;
    void SetServerPort(int port) override;
    // Changes of users (see UserStore).
    std::unique_ptr<ImUnitOfWork> BeginUnitOfWork() override { return m_users.Begin(); }
    ImDeptManager& GetDeptManager() override { return m_depts; }
    ImUserManager& GetUserManager() override { return m_userManager; }
    ImRoleManager& GetRoleManager() override { return m_roles; }
    ImApplication& GetApplication() override { return m_application; }
    // A bind as the user (LdapUserManager::VerifyPassword).
    int16_t VerifyPassword(const std::string& user, const std::string& password) override;
    // Throws ImError(kNotFound) for an identity the directory does not know.
    std::string GetRightInfo(const std::string& right) override;

  private:
    LdapTree m_tree;
    UserStore m_users;
    LdapDeptManager m_depts;
    LdapUserManager m_userManager;
    LdapRoleManager m_roles;
    LdapApplication m_application;
};

}  // namespace warden::ldapdir

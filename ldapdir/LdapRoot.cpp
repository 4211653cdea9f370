#include "ldapdir/LdapRoot.h"

#include "directory/TextRules.h"

namespace warden::ldapdir {

LdapRoot::LdapRoot(const LdapSettings& settings)
    : m_tree(settings),
      m_users(m_tree),
      m_depts(m_tree, m_users),
      m_userManager(m_tree, m_users),
      m_roles(m_tree, m_users),
      m_application(m_tree) {}

void LdapRoot::SetServerAddress(const std::string& address) {
    m_application.SetServerAddress(address);
}

void LdapRoot::SetServerPort(int port) {
    m_application.SetServerPort(port);
}

int16_t LdapRoot::VerifyPassword(const std::string& user, const std::string& password) {
    return m_userManager.VerifyPassword(user, password);
}

std::string LdapRoot::GetRightInfo(const std::string& right) {
    return LdapRoleManager::GetRightInfo(right);
}

}  // namespace warden::ldapdir

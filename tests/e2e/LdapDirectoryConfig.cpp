#include "tests/e2e/E2eDirectory.h"

#include "tests/support/SlapdServer.h"

namespace warden::test {

std::string DirectoryConfig() {
    const ldapdir::LdapSettings ldap = SharedSlapd().CreateBase();
    return "[DIRECTORY]\nBACKEND=ldap\nURI=" + ldap.uri + "\nBIND_DN=" + ldap.bindDn +
           "\nBIND_PASSWORD=" + ldap.bindPassword + "\nBASE_DN=" + ldap.baseDn + "\n";
}

}  // namespace warden::test

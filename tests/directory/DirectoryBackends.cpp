#include "tests/directory/DirectoryBackends.h"

#include "ldapdir/LdapDirectory.h"
#include "tests/support/SlapdServer.h"
#include "vexdir/VexDirectory.h"

namespace warden::test {

DirectoryTest::DirectoryTest() {
    if (GetParam() == Backend::kLdap) ldap = SharedSlapd().CreateBase();
    root = OpenAgain();
}

std::shared_ptr<ImRoot> DirectoryTest::OpenAgain() {
    return GetParam() == Backend::kLdap ? OpenLdapDirectory(ldap) : OpenVexDirectory(dir.Path());
}

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::kLdap ? "Ldap" : "Vex";
}

}  // namespace warden::test

// Opening an LDAP directory as the server's IM directory: the one entry point
// the server needs.
#pragma once

#include <memory>

#include "directory/ImSdk.h"
#include "ldapdir/LdapSettings.h"

namespace warden {

// A root on the directory the settings name. No connection is made before
// the first call that needs one. Throws ImError(kInvalidArgument) when the
// settings cannot be used (see CheckLdapSettings).
std::shared_ptr<ImRoot> OpenLdapDirectory(const ldapdir::LdapSettings& settings);

}  // namespace warden

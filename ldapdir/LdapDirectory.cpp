#include "ldapdir/LdapDirectory.h"

#include "ldapdir/LdapError.h"
#include "ldapdir/LdapRoot.h"

namespace warden {

std::shared_ptr<ImRoot> OpenLdapDirectory(const ldapdir::LdapSettings& settings) {
    const std::string problem = ldapdir::CheckLdapSettings(settings);
    if (!problem.empty()) {
        throw ImError(im_code::kInvalidArgument, ldapdir::kErrorSource, problem);
    }
    return std::make_shared<ldapdir::LdapRoot>(settings);
}

}  // namespace warden

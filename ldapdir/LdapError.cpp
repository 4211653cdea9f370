#include "ldapdir/LdapError.h"

#include <ldap.h>

namespace warden::ldapdir {

namespace {

std::string Describe(int ldapCode, const std::string& what, const std::string& serverText) {
    std::string text = what + ": " + ldap_err2string(ldapCode);
    if (!serverText.empty()) text += " (" + serverText + ")";
    return text;
}

}  // namespace

LdapError::LdapError(int ldapCode, const std::string& what, const std::string& serverText)
    : ImError(ImCodeOf(ldapCode), kErrorSource, Describe(ldapCode, what, serverText)),
      m_ldapCode(ldapCode) {}

bool IsConnectionFailure(int ldapCode) {
    switch (ldapCode) {
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
        case LDAP_TIMEOUT:
        case LDAP_UNAVAILABLE:
        case LDAP_BUSY:
        case LDAP_TIMELIMIT_EXCEEDED:
            return true;
        default:
            return false;
    }
}

uint32_t ImCodeOf(int ldapCode) {
    if (IsConnectionFailure(ldapCode)) return im_code::kUnreachable;
    switch (ldapCode) {
        case LDAP_NO_SUCH_OBJECT:
        case LDAP_NO_SUCH_ATTRIBUTE:
            return im_code::kNotFound;
        case LDAP_ALREADY_EXISTS:
        case LDAP_TYPE_OR_VALUE_EXISTS:
            return im_code::kAlreadyExists;
        case LDAP_NOT_ALLOWED_ON_NONLEAF:
            return im_code::kNotEmpty;
        case LDAP_INVALID_SYNTAX:
        case LDAP_INVALID_DN_SYNTAX:
        case LDAP_CONSTRAINT_VIOLATION:
        case LDAP_NAMING_VIOLATION:
        case LDAP_OBJECT_CLASS_VIOLATION:
        case LDAP_UNDEFINED_TYPE:
        case LDAP_NOT_ALLOWED_ON_RDN:
            return im_code::kInvalidArgument;
        default:
            return im_code::kFail;
    }
}

}  // namespace warden::ldapdir

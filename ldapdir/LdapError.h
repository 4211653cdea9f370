// A failed LDAP operation: an ImError whose code says what the directory
// meant (a name missing or taken, a department not empty, a value it does
// not accept, no directory to reach), keeping the LDAP result code and the
// server's own message for whoever needs the difference.
#pragma once

#include <string>

#include "directory/ImError.h"

namespace warden::ldapdir {

// The name the back-end's errors carry as their source.
inline constexpr const char kErrorSource[] = "ldapdir";

class LdapError : public ImError {
  public:
    // `what`: the operation and its target; the server's text is added.
    LdapError(int ldapCode, const std::string& what, const std::string& serverText = {});
    int LdapCode() const { return m_ldapCode; }

  private:
    int m_ldapCode;
};

// The ImError code for an LDAP result code.
uint32_t ImCodeOf(int ldapCode);

// Whether `ldapCode` says the connection is gone or the directory did not
// answer in time: the connection is dropped and a read may be tried again
// on a new one.
bool IsConnectionFailure(int ldapCode);

}  // namespace warden::ldapdir

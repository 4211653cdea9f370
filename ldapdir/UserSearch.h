// Users whose account, name, mobile, telephone or e-mail contains a text
// (ImUserManager::SearchUsers), on LDAP.
//
// One subtree search below BASE_DN with a substring filter on the attributes
// those fields come from finds the candidates. The directory's matching
// rules are looser than the search promises (they fold Unicode case and
// width, and telephone numbers lose their spaces and hyphens), so every
// candidate is checked again as the embedded directory matches: ASCII
// letters in any case, every other character as it is. Their departments
// are then read by one search for each hundred users handed on, not one per
// user.
//
// Order, as on the embedded directory: the user whose account is the text
// first, then the others in the order they came to the directory (by IM
// number; entries made by other tools, without one, first, by account).
//
// What LDAP cannot give: the search and the reads of departments that
// follow it are separate operations, so a department renamed between them
// may show under its new name.
//
// Thread-safe.
#pragma once

#include <string>

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"

namespace warden::ldapdir {

// REQUIRES: see ImUserManager::SearchUsers. Throws ImError or LdapError.
void SearchUsers(LdapTree& tree, const std::string& text, const UserMatchVisitor& visit);

}  // namespace warden::ldapdir

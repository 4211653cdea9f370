// Users whose account, name, mobile, telephone or e-mail contains a text
// (ImUserManager::SearchUsers), on LDAP.
//
// A subtree search below BASE_DN with a substring filter on the attributes
// those fields come from finds the candidates. The directory's matching
// rules are looser than the search promises (they fold Unicode case and
// width, and telephone numbers lose their spaces and hyphens), so every
// candidate is checked again as the embedded directory matches: ASCII
// letters in any case, every other character as it is.
//
// Order, as on the embedded directory: the user whose account is the text
// first (one indexed search), then the others in the order the directory
// keeps them (OpenLDAP's: the order they were added), read in pages of 100
// entries, each page twice the last up to 2,000 (the paged-results
// control), and handed on with their departments (one search per page)
// before the next page is read: a text found in most of the directory costs
// what the caller takes, not the whole directory.
//
// What LDAP cannot give: the pages and the reads of departments are
// separate operations, so a change made meanwhile may show in a later page.
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

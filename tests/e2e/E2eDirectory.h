// The directory an end-to-end test program runs its servers on: the same
// tests link either VexDirectoryConfig.cpp (the embedded directory) or
// LdapDirectoryConfig.cpp (an organisation of its own in the program's
// throw-away slapd).
#pragma once

#include <string>

namespace warden::test {

// server.cfg lines that put a new server on a new, empty directory.
std::string DirectoryConfig();

}  // namespace warden::test

// Writes a whole directory, read through the directory interface, as LDIF in
// the LDAP back-end's mapping (ldapdir/LdifWriter.h): how the benchmark
// loads the generated large organisation into slapd, and how a site could
// move its embedded directory to LDAP.
#pragma once

#include <ostream>
#include <string>

#include "directory/ImSdk.h"

namespace warden {

struct ExportSummary {
    int departments = 0;
    int users = 0;
    int roles = 0;
};

// Departments in their order, parents first, then every user once, with his
// departments, roles and record. Throws ImError.
ExportSummary ExportLdif(ImRoot& root, const std::string& baseDn, std::ostream& out);

}  // namespace warden

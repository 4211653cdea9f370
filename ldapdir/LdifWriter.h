// An organisation written as LDIF in the back-end's mapping (see LdapTree.h
// and UserState.h), for slapadd into a new database: a site moving from the
// embedded directory, or a benchmark loading a large one. Entries carry the
// entryUUIDs that users' references name, which only slapadd may set.
//
// REQUIRES: the entries are written parents first: the base, the container,
// roles and departments, then users.
// Thread-safety: none.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "directory/ImSdk.h"
#include "ldapdir/RightValue.h"

namespace warden::ldapdir {

class LdifWriter {
  public:
    LdifWriter(std::ostream& out, std::string baseDn);

    // The base entry itself, an organizationalUnit named by its RDN.
    void Base();
    // cn=warden below the base, with the next IM number to hand out.
    void Container(int64_t nextUin);
    // Returns the role's entryUUID. The first roles written come first.
    std::string Role(const std::string& name, const std::string& description,
                     const std::vector<RightSetting>& rights, bool builtIn);
    // `path` as the console names it ("\A\B"); its parent written before.
    // Returns the department's entryUUID.
    std::string Dept(const std::string& path, int64_t order);
    // A user in the departments `deptPaths` (his entry lies in the first;
    // none: directly below the base) holding the roles `roleUuids`.
    void User(const std::string& account, const UserRecord& record,
              const std::vector<std::string>& deptPaths, const std::vector<std::string>& roleUuids);

  private:
    void Line(const std::string& type, const std::string& value);
    std::string NewUuid();

    std::ostream& m_out;
    const std::string m_baseDn;
    std::unordered_map<std::string, std::string> m_depts;  // entryUUID by path in lower case
    int64_t m_roles = 0;
    uint64_t m_counter = 0;
    uint64_t m_seed;
};

}  // namespace warden::ldapdir

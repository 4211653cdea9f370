// Where the organisation lives in the directory, and the lookups every
// manager shares. The layout below BASE_DN:
//
//   ou=<name>[,ou=<parent>...],BASE_DN   a department (organizationalUnit;
//                                        wardenDepartment keeps its order)
//   <rdn>,<department or BASE_DN>        a user (inetOrgPerson, uid = account;
//                                        wardenUser): a member of the
//                                        department his entry lies in, and of
//                                        those his wardenDepartmentRef values
//                                        name by entryUUID
//   cn=warden,BASE_DN                    wardenDirectory: the next IM number
//   cn=decoy,cn=warden,BASE_DN           a password nobody knows
//   cn=<role>,cn=warden,BASE_DN          wardenRole: description, rights;
//                                        users name the roles they hold by
//                                        entryUUID (wardenRoleRef)
//
// References by entryUUID survive renames and moves; one left behind by a
// department or role deleted meanwhile names nothing and is ignored.
//
// Thread-safe.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ldapdir/LdapPool.h"

namespace warden::ldapdir {

// A department as lookups find it.
struct DeptRef {
    std::string dn;
    std::string uuid;  // entryUUID; empty for the top level (BASE_DN)
};

struct RoleInfo {
    std::string dn;
    std::string name;
    std::string uuid;
    int64_t order = 0;
    std::string description;
    std::vector<std::string> rights;  // wardenRight values: "IDENTITY DENY ALLOW"
    bool builtIn = false;
};

class LdapTree {
  public:
    explicit LdapTree(const LdapSettings& settings);

    LdapPool& Service() { return m_service; }
    // Connections for users' own binds.
    LdapPool& Binds() { return m_binds; }
    const std::string& BaseDn() const { return m_baseDn; }
    std::string ContainerDn() const;
    std::string RoleDn(const std::string& name) const;
    // An entry with a random password, which binds for unknown accounts
    // check against (see LdapUserManager::VerifyPassword).
    std::string DecoyDn() const;

    // Makes sure the container and the built-in roles exist, once per
    // process and then only after a failure. Throws LdapError, with a hint
    // when the directory lacks Warden's schema.
    void Ready();

    // The DN a department path names (BASE_DN for the top level).
    std::string DeptDn(std::string_view path) const;
    // The path ("A\B", no leading "\") of the department at `dn`; nullopt
    // when `dn` is not a department below BASE_DN (BASE_DN itself included).
    std::optional<std::string> PathOf(std::string_view dn) const;
    // The department `path` names. Throws ImError: kNotFound when missing,
    // kInvalidArgument for the top level unless `allowTop`.
    DeptRef RequireDept(std::string_view path, bool allowTop);
    // The departments with these entryUUIDs that still exist, by UUID.
    std::vector<DeptRef> DeptsByUuid(const std::vector<std::string>& uuids);
    // The same on a connection the caller holds.
    std::vector<DeptRef> DeptsByUuid(LdapConnection& ldap,
                                     const std::vector<std::string>& uuids) const;

    // The user entries of `account` (uid, any case); throws when several.
    std::optional<LdapEntry> FindUser(const std::string& account,
                                      const std::vector<std::string>& attributes);

    // Every role, in their order (oldest first).
    std::vector<RoleInfo> Roles();
    std::optional<RoleInfo> FindRole(const std::string& name);
    RoleInfo RequireRole(const std::string& name);

    // An IM number for a new user: `number` when above 0 and free (else
    // kAlreadyExists), otherwise the next one never handed out.
    int64_t TakeUin(int number);

  private:
    void MakeContainer(LdapConnection& ldap);
    void MakeDecoy(LdapConnection& ldap);

    LdapPool m_service;
    LdapPool m_binds;
    const std::string m_baseDn;
    size_t m_baseDepth = 0;  // RDNs of BASE_DN
    std::mutex m_readyMutex;
    std::atomic<bool> m_ready{false};
};

// The attributes of a role entry that RoleInfo holds.
RoleInfo ReadRole(const LdapEntry& entry);
std::vector<std::string> RoleAttributes();

}  // namespace warden::ldapdir

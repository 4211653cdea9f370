// One user as the back-end reads and writes him: what the directory
// interface knows of a user, where his entry lies and whom it refers to.
// The mapping onto the entry:
//
//   account      uid (the RDN of entries Warden adds: uid=<account>)
//   name         displayName; an entry without one shows its cn. cn follows
//                the name (or the account while there is none) unless cn
//                is the entry's RDN; sn is set once, when the entry is added
//   gender       wardenGender (0 or absent: male)
//   mobile       mobile            phone     telephoneNumber
//   e-mail       mail              position  title
//   level        wardenLevel       IM number wardenUin    auth  wardenAuth
//   departments  the one his entry lies in, then wardenDepartmentRef
//   roles        wardenRoleRef
//
// Multi-valued standard attributes give their first value and are replaced
// whole; an empty text is an absent attribute.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "directory/ImSdk.h"
#include "ldapdir/LdapConnection.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

class LdapTree;
struct DeptRef;

struct UserState {
    std::string dn;  // empty until the entry exists
    std::string account;
    bool wardenClass = false;  // the entry has the object class wardenUser
    bool cnIsRdn = false;
    std::string name;
    int gender = 0;
    std::string mobile;
    std::string email;
    std::string phone;
    int32_t auth = 0;
    int64_t uin = 0;
    std::string position;
    int32_t level = 0;
    std::string home;                     // the department his entry lies in; empty: none
    std::vector<std::string> deptRefs;    // entryUUIDs of further departments
    std::vector<std::string> roleRefs;    // entryUUIDs of roles held
    std::optional<std::string> password;  // to be set
};

// Whether an entry of these object classes is one Warden made or adopted.
template <class Values>
bool IsWardenUser(const Values& objectClasses) {
    for (const auto& objectClass : objectClasses) {
        if (LowerAscii(objectClass) == "wardenuser") return true;
    }
    return false;
}

// The name a user's entry shows: displayName; an entry another tool made
// without one shows its cn.
inline std::string_view ShownName(std::string_view displayName, std::string_view cn,
                                  bool wardenUser) {
    return !displayName.empty() || wardenUser ? displayName : cn;
}

// The attributes ReadUser needs.
std::vector<std::string> UserAttributes();

UserState ReadUser(const LdapEntry& entry, const LdapTree& tree);

// The paths ("A\B") of `user`'s departments, as GetUserDepts names them:
// the one his entry lies in, then those his references name, in their
// order. `found`: the referenced departments that exist (LdapTree::DeptsByUuid).
std::vector<std::string> DeptPathsOf(const UserState& user, const std::vector<DeptRef>& found,
                                     const LdapTree& tree);

// A new user named `account` holding the roles `roleRefs`, without an entry.
UserState NewUser(const std::string& account, int64_t uin, std::vector<std::string> roleRefs);

// Brings the directory from `before` (nullopt: no entry yet) to `after`:
// one add, or a move of the entry and one modify, then the password. When a
// later step fails, the earlier ones are undone as far as the directory
// lets them be, and the failure is thrown. Fills in `after.dn`.
void WriteUser(LdapTree& tree, const std::optional<UserState>& before, UserState& after);

}  // namespace warden::ldapdir

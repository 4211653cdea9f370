// Departments and memberships on LDAP (ImDeptManager), with the embedded
// directory's rules: names compare without regard to case (as the directory
// compares ou values), sibling names are unique, the top level lists
// departments but is not one, and every failure throws ImError.
//
// Children come in their order (wardenOrder, then name: a department without
// an order, made by another tool, comes first among its siblings). Users of a
// department come in the order they were added to the directory (by IM
// number), which is the order they joined for all who joined when added.
//
// Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "ldapdir/LdapTree.h"
#include "ldapdir/UserStore.h"

namespace warden::ldapdir {

class LdapDeptManager final : public ImDeptManager {
  public:
    LdapDeptManager(LdapTree& tree, UserStore& users) : m_tree(tree), m_users(users) {}

    // Appends the department after its last sibling. Returns 0.
    int AddDept(const std::string& name, const std::string& parentPath) override;
    bool IsDeptExist(const std::string& path) override;
    // Only an empty department (no entry below it, no member) is deleted.
    int DeleteDept(const std::string& path, int flags) override;
    void ChangeDeptName(const std::string& path, const std::string& newName) override;
    // Into the top level, or under a department outside its own subtree,
    // after the new siblings; the subtree and its users move along.
    void MoveDept(const std::string& path, const std::string& newParentPath) override;
    void RemoveUserFromDept(const std::string& user, const std::string& deptPath) override;
    void AddUserToDept(const std::string& user, const std::string& sourceDept,
                       const std::string& targetDept, int copy) override;
    std::string GetChildDepts(const std::string& path) override;
    std::string GetDeptUsers(const std::string& path) override;
    std::optional<std::vector<std::string>> ListDeptUsers(const std::string& path) override;
    std::string GetUserDepts(const std::string& user) override;

    bool PlacesDepts() const override { return true; }
    // Renumbers the siblings only when no room is left between the two
    // neighbours, so that a place is mostly taken in one write.
    void PlaceDept(const std::string& path, const std::string& nextPath, bool isLast) override;

  private:
    struct Child {
        std::string dn;
        std::string name;
        int64_t order = 0;
    };
    // The departments directly below `parentDn`, in their order.
    std::vector<Child> Children(const std::string& parentDn);
    int64_t NextOrder(const std::string& parentDn);
    void SetOrder(const std::string& dn, int64_t order);

    LdapTree& m_tree;
    UserStore& m_users;
};

}  // namespace warden::ldapdir

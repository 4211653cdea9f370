// The directory's departments and memberships (ImDeptManager).
//
// Rules beyond the interface: names compare without regard to ASCII case;
// sibling names are unique; the empty path is the top level, which lists
// departments but is not one itself. Every failure throws ImError and leaves
// the directory unchanged. Thread-safe.
#pragma once

#include "directory/ImSdk.h"
#include "vexdir/VexDatabase.h"

namespace warden::vexdir {

class VexDeptManager final : public ImDeptManager {
  public:
    explicit VexDeptManager(VexDatabase& db) : m_db(db) {}

    // Appends the department after its last sibling. Returns 0.
    int AddDept(const std::string& name, const std::string& parentPath) override;
    // False for the empty path: the top level is not a department.
    bool IsDeptExist(const std::string& path) override;
    // Only an empty department (no sub-departments, no users) is deleted;
    // `flags` do not relax that. Returns 0.
    int DeleteDept(const std::string& path, int flags) override;
    // Renaming onto the department's own name in other letter case is allowed.
    void ChangeDeptName(const std::string& path, const std::string& newName) override;
    // Into the top level, or under a department outside its own subtree; it
    // goes after the new siblings. Moving to the current parent changes nothing.
    void MoveDept(const std::string& path, const std::string& newParentPath) override;
    // Fails when the user is not in that department.
    void RemoveUserFromDept(const std::string& user, const std::string& deptPath) override;
    // With an empty `sourceDept` the user joins `targetDept`. Otherwise the user
    // must be in `sourceDept`, and leaves it unless `copy` is non-zero. Joining
    // a department the user is already in changes nothing.
    void AddUserToDept(const std::string& user, const std::string& sourceDept,
                       const std::string& targetDept, int copy) override;
    // Children in sort order (SortID, then DeptID).
    std::string GetChildDepts(const std::string& path) override;
    // Users in the order they joined; the top level has none.
    std::string GetDeptUsers(const std::string& path) override;
    std::optional<std::vector<std::string>> ListDeptUsers(const std::string& path) override;
    std::string GetUserDepts(const std::string& user) override;

  private:
    VexDatabase& m_db;
};

}  // namespace warden::vexdir

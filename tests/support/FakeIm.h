// An in-memory IM directory for tests: departments by path, users with their
// records, memberships, roles, rights and their settings, answering in the
// same XML forms as the real directory. Every call is written to a log, and
// any operation can be made to fail with ImError, or (for the calls that
// return a status) to return another status.
//
// Not thread-safe: one test drives it from one thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "directory/ImSdk.h"

namespace warden::test {

class FakeIm : public ImRoot,
               public ImDeptManager,
               public ImUserManager,
               public ImRoleManager,
               public ImApplication {
  public:
    FakeIm();

    // ---- set-up and inspection for tests --------------------------------
    // Creates the department at `path` and every missing ancestor.
    void MakeDept(const std::string& path);
    // Creates `user` (when missing) as a member of the department at `path`.
    void MakeUser(const std::string& user, const std::string& path = "");
    void MakeRole(const std::string& role, const std::string& description = "");
    void GiveRole(const std::string& user, const std::string& role);
    void GiveRight(const std::string& role, const std::string& right, bool deny, bool allow);

    bool HasDept(const std::string& path) const;
    bool HasUser(const std::string& user) const;
    // Full paths ("\a\b") of the user's departments, oldest department first.
    std::vector<std::string> DeptsOf(const std::string& user) const;
    std::vector<std::string> ChildrenOf(const std::string& path) const;  // names
    std::vector<std::string> RolesOf(const std::string& user) const;
    std::vector<std::string> RoleNames() const;
    bool HasRole(const std::string& role) const;
    std::string DescriptionOf(const std::string& role) const;
    struct Setting {
        bool deny = false;
        bool allow = false;
    };
    std::map<std::string, Setting> RightsOf(const std::string& role) const;
    UserBasicInfo BasicOf(const std::string& user) const;
    UserDetail DetailOf(const std::string& user) const;
    void SetDetail(const std::string& user, const UserDetail& detail);
    void SetGender(const std::string& user, int gender);
    std::string PasswordOf(const std::string& user) const;
    // Replaces the display name of `right` (its "Name" item).
    void SetRightName(const std::string& right, const std::string& name);
    // From now on `operation` answers `text` for `key`, whatever the
    // directory holds: GetAllRoles (key ""), GetUserRoles (user),
    // GetRoleDescription and GetRoleRights (role), GetRightInfo (right).
    void OverrideAnswer(const std::string& operation, const std::string& key,
                        const std::string& text);

    // Makes `operation` (its method name, e.g. "AddUser") throw ImError from
    // its (`after` + 1)-th call on, until Heal.
    void Fail(const std::string& operation, int after = 0);
    void Heal(const std::string& operation);
    // Makes a status-returning operation (AddDept, DeleteDept,
    // VerifyPassword) return `status` instead of doing its work.
    void ForceStatus(const std::string& operation, int status);

    // Units of work copy the whole directory when opened and put the copy
    // back unless committed. They are counted here, not logged as calls.
    int UnitsCommitted() const { return m_unitsCommitted; }
    int UnitsRolledBack() const { return m_unitsRolledBack; }
    // Makes the next Commit of a unit throw ImError (and roll back).
    void FailNextCommit() { m_failCommit = true; }

    // Every call so far, as "Operation(arg1,arg2,…)".
    const std::vector<std::string>& Calls() const { return m_calls; }
    // The calls of one operation, in order, as their argument lists.
    std::vector<std::string> CallsOf(const std::string& operation) const;
    void ClearCalls() { m_calls.clear(); }

    // ---- ImRoot -----------------------------------------------------------
    std::unique_ptr<ImUnitOfWork> BeginUnitOfWork() override;
    void SetServerAddress(const std::string& address) override;
    void SetServerPort(int port) override;
    ImDeptManager& GetDeptManager() override;
    ImUserManager& GetUserManager() override;
    ImRoleManager& GetRoleManager() override;
    ImApplication& GetApplication() override;
    int16_t VerifyPassword(const std::string& user, const std::string& password) override;
    std::string GetRightInfo(const std::string& right) override;

    // ---- ImDeptManager ----------------------------------------------------
    int AddDept(const std::string& name, const std::string& parentPath) override;
    bool IsDeptExist(const std::string& path) override;
    int DeleteDept(const std::string& path, int flags) override;
    void ChangeDeptName(const std::string& path, const std::string& newName) override;
    void MoveDept(const std::string& path, const std::string& newParentPath) override;
    void RemoveUserFromDept(const std::string& user, const std::string& deptPath) override;
    void AddUserToDept(const std::string& user, const std::string& sourceDept,
                       const std::string& targetDept, int copy) override;
    std::string GetChildDepts(const std::string& path) override;
    std::string GetDeptUsers(const std::string& path) override;
    std::string GetUserDepts(const std::string& user) override;

    // ---- ImUserManager ----------------------------------------------------
    void AddUser(const std::string& user, int number) override;
    void SetUserPassword(const std::string& user, const std::string& password) override;
    // The fake keeps passwords as they are: the prepared form is the password.
    std::string PreparePassword(const std::string& password) override;
    void SetUserPreparedPassword(const std::string& user, const std::string& prepared) override;
    void DeleteUser(const std::string& user) override;
    bool IsUserExist(const std::string& user) override;
    UserBasicInfo GetUserBasicInfo(const std::string& user) override;
    void SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                          const std::string& mobile, const std::string& email,
                          const std::string& phone, int32_t auth) override;
    int64_t GetUserUin(const std::string& user) override;
    UserDetail GetUserDetail(const std::string& user) override;
    void SetUserDetail(const std::string& user, const UserDetail& detail) override;
    void SearchUsers(const std::string& text, const UserMatchVisitor& visit) override;

    // ---- ImRoleManager ----------------------------------------------------
    std::string GetAllRoles() override;
    std::string GetRoleDescription(const std::string& role) override;
    std::string GetRoleRights(const std::string& role) override;
    std::string GetUserRoles(const std::string& user) override;
    void AddRole(const std::string& name, const std::string& description) override;
    void DeleteRole(const std::string& name) override;
    void UpdateRole(const std::string& name, const std::string& newName,
                    const std::string& description) override;
    void AddUserToRole(const std::string& user, const std::string& role) override;
    void RemoveUserFromRole(const std::string& user, const std::string& role) override;
    void AddRightToRole(const std::string& role, const std::string& right) override;
    void SetRoleRight(const std::string& role, const std::string& right, int deny,
                      int allow) override;

    // ---- ImApplication (recorded only) -------------------------------------
    void SetAppGuid(const std::string& guid) override;
    void SetAppName(const std::string& name) override;
    void SetProgId(const std::string& progId) override;
    void SetReceiverName(const std::string& name) override;
    void SetOptionNumber1(int value) override;
    void SetOptionNumber2(int value) override;
    void SetOptionText1(const std::string& value) override;
    void SetOptionText2(const std::string& value) override;
    void SetOptionText3(const std::string& value) override;
    void SetOptionText4(const std::string& value) override;
    void SetOptionText5(const std::string& value) override;
    void Register() override;
    void Start(const std::string& value, int timeoutMs) override;

  private:
    class Unit;

    struct Dept {
        int parent = 0;  // 0: top level
        std::string name;
        std::vector<std::string> users;  // in joining order
    };
    struct User {
        std::string password;
        UserBasicInfo basic;
        int64_t uin = 0;
        UserDetail detail;
    };
    struct RightSetting {
        std::string identity;
        Setting setting;
    };
    struct Role {
        std::string name;
        std::string description;
        std::vector<RightSetting> rights;
        std::vector<std::string> users;
    };
    struct RightInfo {
        std::string name;
        bool defaultAllow = true;
    };

    // Logs the call and throws when the operation is set to fail.
    void Enter(const std::string& operation, const std::vector<std::string>& args);
    [[noreturn]] void Refuse(uint32_t code, const std::string& what) const;
    // 0 for the top level (empty path); -1 when the path names nothing.
    int Find(const std::string& path) const;
    int FindOrThrow(const std::string& path) const;
    std::string PathOf(int id) const;
    std::vector<int> ChildIds(int parent) const;
    bool IsInside(int id, int ancestor) const;
    User& UserOrThrow(const std::string& user);
    Role* FindRole(const std::string& role);
    const Role* FindRole(const std::string& role) const;
    Role& RoleOrThrow(const std::string& role);
    bool TakeOverride(const std::string& operation, const std::string& key, std::string& text);

    std::map<int, Dept> m_depts;
    int m_nextDeptId = 1;
    std::map<std::string, User> m_users;
    int64_t m_nextUin = 10001;
    std::vector<Role> m_roles;
    std::map<std::string, RightInfo> m_rights;
    std::vector<std::string> m_calls;
    std::map<std::string, int> m_failAfter;  // operation → calls still allowed
    std::map<std::string, int> m_status;
    std::map<std::string, std::string> m_overrides;  // operation + "\n" + key
    int m_unitsCommitted = 0;
    int m_unitsRolledBack = 0;
    bool m_failCommit = false;
};

}  // namespace warden::test

// The object model of the IM directory's SDK, as the server calls it. Texts
// are UTF-8. A failed call throws ImError; the dispatcher turns an uncaught one
// into the general error reply. Implementations must be safe to call from
// several request workers at once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "directory/ImError.h"

namespace warden {

struct UserBasicInfo {
    std::string name;
    int gender = 0;  // 0: male, anything else: female
    std::string mobile;
    std::string email;
    std::string phone;
    int32_t auth = 0;
};

// The user's detail record: 3 integers, 10 texts, 1 integer. The 10th text
// is the position, the last integer the level; the rest belong to the IM server.
struct UserDetail {
    std::array<int32_t, 3> leading{};
    std::array<std::string, 10> texts;
    int32_t trailing = 0;

    std::string& Position() { return texts[9]; }
    int32_t& Level() { return trailing; }
};

// What the console shows of one user: his basic record, his number and his
// detail record.
struct UserRecord {
    UserBasicInfo basic;
    int64_t uin = 0;
    UserDetail detail;
};

// Departments are named by paths: "\" before each name from the top level
// down ("\销售部\华东区"); the top level is the empty path.
class ImDeptManager {
  public:
    virtual ~ImDeptManager() = default;
    // 0 on success.
    virtual int AddDept(const std::string& name, const std::string& parentPath) = 0;
    virtual bool IsDeptExist(const std::string& path) = 0;
    // 0 on success.
    virtual int DeleteDept(const std::string& path, int flags) = 0;
    virtual void ChangeDeptName(const std::string& path, const std::string& newName) = 0;
    virtual void MoveDept(const std::string& path, const std::string& newParentPath) = 0;
    virtual void RemoveUserFromDept(const std::string& user, const std::string& deptPath) = 0;
    virtual void AddUserToDept(const std::string& user, const std::string& sourceDept,
                               const std::string& targetDept, int copy) = 0;
    // <Departments><Department Name="…"/>…</Departments>
    virtual std::string GetChildDepts(const std::string& path) = 0;
    // <Users><User Name="…"/>…</Users>
    virtual std::string GetDeptUsers(const std::string& path) = 0;
    // The same accounts as a list, when the directory offers one without
    // the XML (a large department's list costs more to write and read as XML
    // than to look up); nullopt when it does not.
    virtual std::optional<std::vector<std::string>> ListDeptUsers(const std::string& path) {
        (void)path;
        return std::nullopt;
    }
    // <Departments> naming each department by its full path without the leading "\"
    virtual std::string GetUserDepts(const std::string& user) = 0;

    // Whether the directory keeps the order of departments itself, so that
    // PlaceDept works. The embedded directory does not: it is ordered
    // through its database and function-table library.
    virtual bool PlacesDepts() const { return false; }
    // Places the department `path` right before its sibling `nextPath`, or
    // right after it when `isLast`. Throws ImError: kNotFound when either is
    // missing, kInvalidArgument when they are not siblings or the directory
    // does not place departments.
    virtual void PlaceDept(const std::string& path, const std::string& nextPath, bool isLast) {
        (void)path;
        (void)nextPath;
        (void)isLast;
        throw ImError(im_code::kInvalidArgument, "directory", "departments are not placed here");
    }
};

// One user found by ImUserManager::SearchUsers.
struct UserMatch {
    std::string account;  // as the directory spells it
    std::string name;
    // His departments as GetUserDepts names them: full paths without the
    // leading "\", in the same order.
    std::vector<std::string> depts;
};

// Receives each user a search finds; returns false to end the search there.
using UserMatchVisitor = std::function<bool(UserMatch&&)>;

class ImUserManager {
  public:
    virtual ~ImUserManager() = default;
    virtual void AddUser(const std::string& user, int number) = 0;
    virtual void SetUserPassword(const std::string& user, const std::string& password) = 0;
    // SetUserPassword in two halves, so that the slow one (a password hash
    // is slow on purpose) can run before a unit of work takes the directory:
    // the form in which the directory keeps `password`, computed without
    // touching any data; then storing that form for `user`.
    virtual std::string PreparePassword(const std::string& password) = 0;
    virtual void SetUserPreparedPassword(const std::string& user, const std::string& prepared) = 0;
    virtual void DeleteUser(const std::string& user) = 0;
    virtual bool IsUserExist(const std::string& user) = 0;
    // The account as the directory spells it, for `user` in any ASCII letter
    // case; a directory that keeps no spelling of its own gives `user`.
    virtual std::string GetAccountName(const std::string& user) { return user; }
    virtual UserBasicInfo GetUserBasicInfo(const std::string& user) = 0;
    virtual void SetUserBasicInfo(const std::string& user, const std::string& name, int gender,
                                  const std::string& mobile, const std::string& email,
                                  const std::string& phone, int32_t auth) = 0;
    virtual int64_t GetUserUin(const std::string& user) = 0;
    virtual UserDetail GetUserDetail(const std::string& user) = 0;
    virtual void SetUserDetail(const std::string& user, const UserDetail& detail) = 0;
    // The three reads above at once. A directory that can should read them in
    // one look, so that they come from one version of the record.
    virtual UserRecord GetUserRecord(const std::string& user) {
        UserRecord record;
        record.basic = GetUserBasicInfo(user);
        record.uin = GetUserUin(user);
        record.detail = GetUserDetail(user);
        return record;
    }
    // The users whose account, name, mobile, telephone or e-mail contains
    // `text`, ASCII letters in any case (other characters as they are): the
    // user whose account is `text` first, if there is one, then the others in
    // an order that stays the same while the directory does not change.
    // `visit` gets each one, until it returns false or none are left; it must
    // not call the directory. A search sees every change committed before it
    // began and none made during it.
    // REQUIRES: `text` holds at least two characters and no control
    // character. Throws ImError: kInvalidArgument for such a text, kFail and
    // the others when the directory cannot be read.
    virtual void SearchUsers(const std::string& text, const UserMatchVisitor& visit) = 0;
};

class ImRoleManager {
  public:
    virtual ~ImRoleManager() = default;
    // <VEXSRoleList><Item RoleName="…"></Item>…</VEXSRoleList>
    virtual std::string GetAllRoles() = 0;
    // A text holding RoleDescribe="…" followed by four closing characters.
    virtual std::string GetRoleDescription(const std::string& role) = 0;
    // <…><Item Identity="…" Deny="true|false" Allow="true|false"/>…
    virtual std::string GetRoleRights(const std::string& role) = 0;
    // Same form as GetAllRoles, for the roles one user holds.
    virtual std::string GetUserRoles(const std::string& user) = 0;
    virtual void AddRole(const std::string& name, const std::string& description) = 0;
    virtual void DeleteRole(const std::string& name) = 0;
    virtual void UpdateRole(const std::string& name, const std::string& newName,
                            const std::string& description) = 0;
    virtual void AddUserToRole(const std::string& user, const std::string& role) = 0;
    virtual void RemoveUserFromRole(const std::string& user, const std::string& role) = 0;
    virtual void AddRightToRole(const std::string& role, const std::string& right) = 0;
    virtual void SetRoleRight(const std::string& role, const std::string& right, int deny,
                              int allow) = 0;
};

// The server's registration as an application of the IM server.
class ImApplication {
  public:
    virtual ~ImApplication() = default;
    virtual void SetServerAddress(const std::string& address) = 0;
    virtual void SetServerPort(int port) = 0;
    virtual void SetAppGuid(const std::string& guid) = 0;
    virtual void SetAppName(const std::string& name) = 0;
    virtual void SetProgId(const std::string& progId) = 0;
    virtual void SetReceiverName(const std::string& name) = 0;
    virtual void SetOptionNumber1(int value) = 0;
    virtual void SetOptionNumber2(int value) = 0;
    virtual void SetOptionText1(const std::string& value) = 0;
    virtual void SetOptionText2(const std::string& value) = 0;
    virtual void SetOptionText3(const std::string& value) = 0;
    virtual void SetOptionText4(const std::string& value) = 0;
    virtual void SetOptionText5(const std::string& value) = 0;
    virtual void Register() = 0;
    virtual void Start(const std::string& value, int timeoutMs) = 0;
};

// Changes that take effect together or not at all. While a unit is open,
// every call that the thread which opened it makes on the root and its
// managers joins it: those calls see the unit's own changes, other threads
// see none of them before Commit (and their changes may wait for it). A unit
// destroyed without Commit, or cut short because the process died, leaves
// the directory as it was before the unit.
// REQUIRES: opened, committed and destroyed on one thread, which opens no
// second unit of the same root meanwhile.
class ImUnitOfWork {
  public:
    virtual ~ImUnitOfWork() = default;
    // Keeps every change of the unit and ends it. Throws ImError, and then
    // nothing of the unit is kept.
    virtual void Commit() = 0;
};

class ImRoot {
  public:
    virtual ~ImRoot() = default;
    // Opens a unit of work for the calling thread. Throws ImError.
    virtual std::unique_ptr<ImUnitOfWork> BeginUnitOfWork() = 0;
    virtual void SetServerAddress(const std::string& address) = 0;
    virtual void SetServerPort(int port) = 0;
    virtual ImDeptManager& GetDeptManager() = 0;
    virtual ImUserManager& GetUserManager() = 0;
    virtual ImRoleManager& GetRoleManager() = 0;
    virtual ImApplication& GetApplication() = 0;
    // 0 when the password matches.
    virtual int16_t VerifyPassword(const std::string& user, const std::string& password) = 0;
    // <…><Item key="Identity">…</Item><Item key="Name">…</Item>…
    virtual std::string GetRightInfo(const std::string& right) = 0;
};

}  // namespace warden

// Composite operations on one user of the IM directory: the record the
// console shows, the basic data, position and level, and the user's roles.
// Each is a short sequence of SDK calls on the given root; an ImError of a
// call propagates unless the operation says otherwise.
//
// Thread-safety: the functions keep no state; the root serialises itself.
#pragma once

#include <string>
#include <vector>

#include "directory/ImSdk.h"

namespace warden {

// "name:…|gender:男|mobile:…|email:…|phone:…|auth:N|uin:N|position:…|level:N".
// Gender value 0 is "男", any other "女". Values are not escaped.
std::string GetUserInfo(ImRoot& root, const std::string& user);

enum class UserField { kPosition, kLevel };

// The position (10th text of the detail record) unchanged, or the level
// (its last integer) in decimal.
std::string GetUserPositionOrLevel(ImRoot& root, const std::string& user, UserField which);

// The basic data as the console sends it; `gender` is the text "男", "女" or
// empty, and only "女" makes a female user.
struct BasicInfoText {
    std::string name;
    std::string gender;
    std::string mobile;
    std::string email;
    std::string phone;
};

void WriteUserBasicInfo(ImRoot& root, const std::string& user, const BasicInfoText& info);

// Writes position and level into the detail record; an empty text (after
// leading white space) leaves its field alone. The record is written back in
// any case, with a first integer of 0 turned into -1. Returns the empty text,
// or "error:设置用户职位失败" when the write-back fails; a failure to read
// the record throws.
std::string SetUserPosition(ImRoot& root, const std::string& user, const std::string& position,
                            const std::string& level);

// The user's role names as the console cuts them at "=".
std::string GetUserRoleNames(ImRoot& root, const std::string& user);

// The roles the user holds, as the directory names them.
std::vector<std::string> GetUserRoleList(ImRoot& root, const std::string& user);

// What SetUserRoles changes for a user who holds `held`, in the order it
// changes them. Names compare exactly, as the directory's list gives them.
struct RoleChanges {
    std::vector<std::string> removed;
    std::vector<std::string> added;
};
RoleChanges PlanUserRoles(const std::vector<std::string>& held, const std::string& newRoles);

// Makes the user hold exactly the roles of `newRoles` (names each followed by
// ";"), except that "User" and "管理员" are never taken away. Roles held and
// listed again are left alone.
void SetUserRoles(ImRoot& root, const std::string& user, const std::string& newRoles);

}  // namespace warden

#include "server/im/UserOperations.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <set>

#include "protocol/SplitList.h"
#include "directory/ImError.h"
#include "server/im/NameLists.h"

namespace warden {

std::string GetUserInfo(ImRoot& root, const std::string& user) {
    UserRecord read = root.GetUserManager().GetUserRecord(user);
    const UserBasicInfo& basic = read.basic;
    const char* gender = basic.gender == 0 ? "男" : "女";
    const int64_t uin = read.uin;
    const std::string& position = read.detail.Position();
    const std::string level = std::to_string(read.detail.Level());

    std::string record;
    record.reserve(128 + basic.name.size() + position.size());
    record += "name:" + basic.name;
    record += "|gender:";
    record += gender;
    record += "|mobile:" + basic.mobile;
    record += "|email:" + basic.email;
    record += "|phone:" + basic.phone;
    record += "|auth:" + std::to_string(basic.auth);
    record += "|uin:" + std::to_string(uin);
    record += "|position:" + position;
    record += "|level:" + level;
    return record;
}

std::string GetUserPositionOrLevel(ImRoot& root, const std::string& user, UserField which) {
    UserDetail detail = root.GetUserManager().GetUserDetail(user);
    return which == UserField::kPosition ? detail.Position() : std::to_string(detail.Level());
}

void WriteUserBasicInfo(ImRoot& root, const std::string& user, const BasicInfoText& info) {
    const int gender = EqualsNoCase(info.gender, "女") ? 1 : 0;
    // The console never edits "auth"; writing 0 there would wipe what the
    // directory keeps for the user at every change of his record.
    ImUserManager& users = root.GetUserManager();
    const int32_t auth = users.GetUserBasicInfo(user).auth;
    users.SetUserBasicInfo(user, info.name, gender, info.mobile, info.email, info.phone, auth);
}

namespace {

// The decimal value of the leading digits, like strtol with a long of 32
// bits: a value beyond the record's integer is held at its limit instead of
// wrapping round to a different level.
int32_t LeadingDecimal(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

std::string SetUserPosition(ImRoot& root, const std::string& user, const std::string& position,
                            const std::string& level) {
    ImUserManager& users = root.GetUserManager();
    UserDetail detail = users.GetUserDetail(user);
    std::string_view newPosition = TrimLeft(position);
    std::string newLevel(TrimLeft(level));
    if (!newPosition.empty()) detail.Position() = std::string(newPosition);
    if (!newLevel.empty()) detail.Level() = LeadingDecimal(newLevel);
    // The directory takes 0 in this field as "not set"; a record the server
    // writes is always a set one.
    if (detail.leading[0] == 0) detail.leading[0] = -1;
    try {
        users.SetUserDetail(user, detail);
    } catch (const ImError&) {
        return "error:设置用户职位失败";
    }
    return {};
}

std::string GetUserRoleNames(ImRoot& root, const std::string& user) {
    // The stripped list puts "=" before every name; the console wants the
    // names separated, not led, by it ("User=经理" becomes "User;经理").
    std::string names = StripRoleXml(root.GetRoleManager().GetUserRoles(user));
    if (!names.empty() && names[0] == '=') names.erase(0, 1);
    return names;
}

namespace {

bool IsKeptRole(const std::string& role) {
    return EqualsNoCase(role, "User") || EqualsNoCase(role, "管理员");
}

}  // namespace

std::vector<std::string> GetUserRoleList(ImRoot& root, const std::string& user) {
    return SplitList(StripRoleXml(root.GetRoleManager().GetUserRoles(user)), "=");
}

RoleChanges PlanUserRoles(const std::vector<std::string>& held, const std::string& newRoles) {
    // Names are compared whole: the last name counts as listed whether or not
    // the console ended it with ";".
    std::vector<std::string> wantedList = SplitList(Trim(newRoles), ";");
    std::set<std::string> wanted(wantedList.begin(), wantedList.end());
    std::set<std::string> heldSet(held.begin(), held.end());

    RoleChanges changes;
    std::set<std::string> removed;
    for (const std::string& role : held) {
        if (wanted.contains(role) || IsKeptRole(role)) continue;
        if (removed.insert(role).second) changes.removed.push_back(role);
    }
    // Also when the user held no role before: a new user gets the roles the
    // console chose for him.
    for (const std::string& role : wantedList) {
        if (heldSet.insert(role).second) changes.added.push_back(role);
    }
    return changes;
}

void SetUserRoles(ImRoot& root, const std::string& user, const std::string& newRoles) {
    ImRoleManager& roles = root.GetRoleManager();
    const RoleChanges changes = PlanUserRoles(GetUserRoleList(root, user), newRoles);
    for (const std::string& role : changes.removed) roles.RemoveUserFromRole(user, role);
    for (const std::string& role : changes.added) roles.AddUserToRole(user, role);
}

}  // namespace warden

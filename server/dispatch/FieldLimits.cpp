#include "server/dispatch/FieldLimits.h"

#include <array>

#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden {

namespace {

struct FieldLimit {
    std::string_view request;
    std::string_view key;
    std::string_view label;  // how the refusal names the value (or each item)
    size_t maxChars;
    // The row applies only when "op" is this (in any case; "" for none);
    // nullptr: whatever "op" is.
    const char* op = nullptr;
    // For a list: the characters that cut it, the most items it may hold and
    // how the refusal names the list.
    std::string_view separators = {};
    size_t maxItems = 0;
    std::string_view listLabel = {};
};

constexpr std::array kFieldLimits{
    FieldLimit{req::kDeptAdd, key::kDeptIdLower, "部门名称", limits::kDeptName},
    FieldLimit{req::kDeptAdd, key::kParentDept, "上级部门路径", limits::kDeptPath},
    FieldLimit{req::kDeptChange, key::kNewDeptName, "部门名称", limits::kDeptName},
    FieldLimit{req::kDeptChange, key::kNewParentDept, "上级部门路径", limits::kDeptPath},

    // Only a new account's name is stored; an update names an existing one.
    FieldLimit{req::kUserAdd, key::kUsername, "用户名", limits::kAccount, ""},
    FieldLimit{req::kUserAdd, key::kPwd, "密码", limits::kPassword},
    FieldLimit{req::kUserAdd, key::kName, "姓名", limits::kUserName},
    FieldLimit{req::kUserAdd, key::kPosition, "职位", limits::kPosition},
    FieldLimit{req::kUserAdd, key::kMobile, "手机", limits::kMobile},
    FieldLimit{req::kUserAdd, key::kPhone, "电话", limits::kPhone},
    FieldLimit{req::kUserAdd, key::kEmail, "电子邮件", limits::kEmail},
    FieldLimit{req::kUserAdd, key::kLevel, "级别", limits::kLevel},
    FieldLimit{req::kUserAdd, key::kDeptNameLower, "部门路径", limits::kDeptPath, nullptr, "|",
               limits::kListItems, "所属部门"},
    FieldLimit{req::kUserAdd, key::kRoles, "角色名称", limits::kRoleName, nullptr, ";",
               limits::kListItems, "角色"},

    // "name" is a new role's name only when adding; otherwise it names the
    // role to change or delete.
    FieldLimit{req::kRoleAdmin, key::kName, "角色名称", limits::kRoleName, "add"},
    FieldLimit{req::kRoleAdmin, key::kNewName, "角色名称", limits::kRoleName},
    FieldLimit{req::kRoleAdmin, key::kDesc, "角色描述", limits::kRoleDescription},

    FieldLimit{req::kSaveAdminDepts, key::kUsername, "用户名", limits::kAccount},
    FieldLimit{req::kSaveAdminDepts, key::kDepts, "部门路径", limits::kDeptPath, nullptr, ";",
               limits::kListItems, "管理部门"},
    FieldLimit{req::kSaveAdminDepts, key::kAdminRoles, "角色名称", limits::kRoleName, nullptr, "|",
               limits::kListItems, "可分配角色"},

    FieldLimit{req::kChangePwd, key::kPassword, "密码", limits::kPassword},
};

std::string TooLong(std::string_view label, size_t limit) {
    return "error:" + std::string(label) + "不能超过" + std::to_string(limit) + "个字符";
}

std::optional<std::string> Check(const FieldLimit& limit, const std::string& value) {
    if (limit.separators.empty()) {
        if (CharacterCount(value) > limit.maxChars) return TooLong(limit.label, limit.maxChars);
        return std::nullopt;
    }
    const std::vector<std::string> items = SplitList(value, limit.separators);
    if (items.size() > limit.maxItems) {
        return "error:" + std::string(limit.listLabel) + "不能超过" +
               std::to_string(limit.maxItems) + "个";
    }
    for (const std::string& item : items) {
        if (CharacterCount(item) > limit.maxChars) return TooLong(limit.label, limit.maxChars);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckFieldLimits(std::string_view request, const ParamMap& params) {
    for (const FieldLimit& limit : kFieldLimits) {
        if (limit.request != request) continue;
        if (limit.op && !EqualsNoCase(GetParam(params, key::kOp), limit.op)) continue;
        if (auto refusal = Check(limit, GetParam(params, limit.key))) return refusal;
    }
    return std::nullopt;
}

}  // namespace warden

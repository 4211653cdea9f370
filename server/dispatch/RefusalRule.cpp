#include "server/dispatch/RefusalRule.h"

namespace warden {

std::string_view RuleName(Rule rule) {
    switch (rule) {
        case Rule::kNone: return "none";
        case Rule::kLoginRequired: return "login-required";
        case Rule::kAccountGone: return "account-gone";
        case Rule::kNotAdministrator: return "not-administrator";
        case Rule::kOwnAccount: return "own-account";
        case Rule::kDeptInScope: return "dept-in-scope";
        case Rule::kDeptInside: return "dept-inside";
        case Rule::kUserInScope: return "user-in-scope";
        case Rule::kUserWholly: return "user-wholly-in-scope";
        case Rule::kProtected: return "protected-account";
        case Rule::kGrantable: return "grantable-role";
        case Rule::kSuper: return "super-only";
    }
    return "none";
}

std::string_view RuleText(Rule rule) {
    switch (rule) {
        case Rule::kNone: return "允许";
        case Rule::kLoginRequired: return "尚未登录";
        case Rule::kAccountGone: return "该账户在目录中不存在";
        case Rule::kNotAdministrator: return "不是管理员:只能查询自己的管理部门";
        case Rule::kOwnAccount: return "只能查询自己的账户";
        case Rule::kDeptInScope: return "部门不在其管理范围内";
        case Rule::kDeptInside: return "只能更改其管理部门之下的部门,不能更改管理部门本身";
        case Rule::kUserInScope: return "用户不属于其管理范围内的任何部门";
        case Rule::kUserWholly: return "用户还属于其管理范围以外的部门";
        case Rule::kProtected: return "该账户是超级管理员或另一位管理员";
        case Rule::kGrantable: return "角色不在其可分配的角色之中";
        case Rule::kSuper: return "只有超级管理员可以执行";
    }
    return "";
}

}  // namespace warden

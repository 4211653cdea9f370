#include "server/dispatch/DirectoryChangeHandlers.h"

#include <memory>
#include <optional>

#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/SessionRegistry.h"
#include "server/dispatch/ImAccess.h"
#include "server/im/DeptOperations.h"
#include "server/im/NameLists.h"
#include "server/im/UserOperations.h"

namespace warden {

namespace {

std::string DeptAdd(RequestContext& context) {
    return AddDepartment(*ImRootOf(context), context.Param(key::kDeptIdLower),
                         context.Param(key::kParentDept));
}

std::string DeptDelete(RequestContext& context) {
    constexpr const char kDeleteFailed[] = "error:删除部门失败!";
    const std::string& path = context.Param(key::kDeptIdLower);
    if (path.empty()) return "error:部门名称不能为空";
    auto root = ImRootOf(context);
    ImDeptManager& depts = root->GetDeptManager();
    try {
        // Refusals in this order, each before the directory is asked for more.
        if (!TrimLeft(FlattenNameList(depts.GetChildDepts(path), "Department")).empty()) {
            return "error:部门下含有子部门,不能删除";
        }
        if (!TrimLeft(FlattenNameList(depts.GetDeptUsers(path), "User")).empty()) {
            return "error:部门下用户不为空,不能删除";
        }
        return depts.DeleteDept(path, 1) == 0 ? "info:删除部门成功" : kDeleteFailed;
    } catch (const ImError& e) {
        // The department has vanished, or gained a member since the checks.
        if (IsRefusal(e)) return kDeleteFailed;
        throw;
    }
}

std::string DeptChange(RequestContext& context) {
    try {
        const std::string& op = context.Param(key::kOp);
        const std::string& path = context.Param(key::kOrigDeptName);
        bool done = false;
        if (EqualsNoCase(op, "changedeptname")) {
            const std::string& newName = context.Param(key::kNewDeptName);
            if (!IsCarriableName(newName)) return kReservedNameReply;
            auto root = ImRootOf(context);
            try {
                root->GetDeptManager().ChangeDeptName(path, newName);
            } catch (const ImError&) {
                return "error:部门已经存在";
            }
            done = true;
        }
        if (EqualsNoCase(op, "changeparent")) {
            auto root = ImRootOf(context);
            try {
                root->GetDeptManager().MoveDept(path, context.Param(key::kNewParentDept));
            } catch (const ImError&) {
                return "error:修改父部门失败";
            }
            done = true;
        }
        // An operation the server does not know gets no reply at all.
        return done ? "info:修改部门成功" : "";
    } catch (...) {
        return "error:修改部门失败,请重试";
    }
}

// The writes of "UserAdd.asp" after the account exists and has left its old
// departments, in their order. Throws on the first that fails.
void WriteUser(ImRoot& root, const RequestContext& context, const std::string& user,
               const std::optional<std::string>& preparedPassword) {
    if (preparedPassword) root.GetUserManager().SetUserPreparedPassword(user, *preparedPassword);

    WriteUserBasicInfo(root, user,
                       BasicInfoText{context.Param(key::kName), context.Param(key::kGender),
                                     context.Param(key::kMobile), context.Param(key::kEmail),
                                     context.Param(key::kPhone)});

    std::string failed =
        SetUserPosition(root, user, std::string(TrimLeft(context.Param(key::kPosition))),
                        std::string(TrimLeft(context.Param(key::kLevel))));
    // A position that was not saved is a failed write like any other, so the
    // console does not show the change as made.
    if (!failed.empty()) throw ImError(im_code::kFail, "warden-server", failed);

    SetUserRoles(root, user, context.Param(key::kRoles));

    for (const std::string& dept : SplitList(context.Param(key::kDeptNameLower), "|")) {
        root.GetDeptManager().AddUserToDept(user, "", dept, 0);
    }
}

std::string UserAdd(RequestContext& context) {
    const std::string& op = context.Param(key::kOp);
    const std::string& user = context.Param(key::kUsername);
    // A list of nothing but separators names no department either: the user
    // would end up in none, where no console could find him.
    if (user.empty() || SplitList(context.Param(key::kDeptNameLower), "|").empty()) {
        return "error:用户名和部门名称不允许为空";
    }
    const bool adding = op.empty();
    const bool updating = EqualsNoCase(op, "update");
    if (adding && !IsCarriableName(user)) return kReservedNameReply;
    auto root = ImRootOf(context);
    // The password's slow part runs first, so that the unit below does not
    // keep other consoles' changes waiting for it.
    std::optional<std::string> password;
    if (!context.Param(key::kPwd).empty()) {
        try {
            password = root->GetUserManager().PreparePassword(context.Param(key::kPwd));
        } catch (...) {
            return updating ? "error:修改用户信息失败" : "error:添加用户失败";
        }
    }

    // Every step joins one unit of work, so that a failure, or the death of
    // the server at any moment, leaves the user as he was (or absent) and
    // never half made: an account without data in no department, which no
    // console could show and whose name a retry would find taken.
    std::unique_ptr<ImUnitOfWork> unit = root->BeginUnitOfWork();
    if (adding) {
        if (root->GetUserManager().IsUserExist(user)) return "error:用户已经存在";
        root->GetUserManager().AddUser(user, 0);
    }
    if (updating) {
        for (const std::string& dept : SplitList(context.Param(key::kNewDeptName), ",")) {
            root->GetDeptManager().RemoveUserFromDept(user, dept);
        }
    }
    try {
        WriteUser(*root, context, user, password);
        unit->Commit();
    } catch (...) {
        return updating ? "error:修改用户信息失败" : "error:添加用户失败";
    }
    // Whoever logged in with the old password is out; the sender keeps his
    // own connection when he changed his own.
    if (password && context.services.sessions) {
        const bool own = EqualsNoCase(user, context.session.account);
        context.services.sessions->EndLogins(user, own ? &context.session : nullptr);
    }
    return updating ? "info:修改用户信息成功" : "info:添加用户成功";
}

std::string UserDelete(RequestContext& context) {
    auto root = ImRootOf(context);
    try {
        root->GetUserManager().DeleteUser(context.Param(key::kUsername));
    } catch (const ImError&) {
        // Consoles are told of a success whatever the directory said; the
        // other wording is what tells the two cases apart.
        return "info:用户删除成功";
    }
    return "info:删除用户成功";
}

}  // namespace

void RegisterDirectoryChangeHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kDeptAdd, DeptAdd);
    dispatcher.Register(req::kDeptDelete, DeptDelete);
    dispatcher.Register(req::kDeptChange, DeptChange);
    dispatcher.Register(req::kUserAdd, UserAdd);
    dispatcher.Register(req::kUserDelete, UserDelete);
}

}  // namespace warden

#include "server/dispatch/DirectoryQueryHandlers.h"

#include <vector>

#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/ImAccess.h"
#include "server/im/NameLists.h"
#include "server/im/UserOperations.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

std::string CheckUserExist(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    if (ImRootOf(context)->GetUserManager().IsUserExist(user)) return reply::kInfoPrefix;
    return std::string(reply::kErrorPrefix) + user + "不存在,管理员须为VEX用户";
}

std::string GetChildDepts(RequestContext& context) {
    auto root = ImRootOf(context);
    return FlattenNameList(root->GetDeptManager().GetChildDepts(context.Param(key::kDeptIdMixed)),
                           "Department");
}

std::string GetSameLevelDepts(RequestContext& context) {
    // The console names the parent of a top-level department as "\".
    std::string parent = context.Param(key::kDeptIdMixed);
    if (parent == "\\") parent.clear();
    auto root = ImRootOf(context);
    return FlattenNameList(root->GetDeptManager().GetChildDepts(parent), "Department");
}

std::string GetDeptUsers(RequestContext& context) {
    ImDeptManager& depts = ImRootOf(context)->GetDeptManager();
    const std::string& path = context.Param(key::kDeptIdMixed);
    if (auto names = depts.ListDeptUsers(path)) {
        // As the list cut from the XML would be: nameless entries dropped.
        std::erase(*names, std::string{});
        return JoinNameList(*names);
    }
    return FlattenNameList(depts.GetDeptUsers(path), "User");
}

std::string GetUserBInfo(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    std::string record = GetUserInfo(*ImRootOf(context), user);
    if (context.Param(key::kProtected) != "1") return record;
    // Asked by a console so that it offers a second-level administrator
    // nothing on an account he may not touch; the check that refuses such a
    // request is the delegation's, whatever the console offers.
    const bool limited = context.scope != nullptr;
    const bool guarded = limited && IsProtectedAccount(user, context.session.account, [&] {
        return context.services.adminStore != nullptr &&
               context.services.adminStore->FindAdmin(user).has_value();
    });
    return record + (guarded ? "|protected:1" : "|protected:0");
}

std::string GetUserDepts(RequestContext& context) {
    auto root = ImRootOf(context);
    std::vector<std::string> depts =
        ListNames(root->GetDeptManager().GetUserDepts(context.Param(key::kUsername)), "Department");
    // A second-level administrator sees only his departments, so his
    // console's update never takes the user out of one it cannot see.
    size_t hidden = 0;
    if (context.scope != nullptr) {
        hidden = std::erase_if(depts, [&](const std::string& d) { return !context.scope->Covers(d); });
    }
    std::string list = JoinNameList(depts);
    if (context.Param(key::kOutside) != "1") return list;
    // Asked by a console so that it can say at once that the user's password
    // and name are not his to change (they need every department of the
    // user); which departments they are stays hidden.
    return list + (hidden > 0 ? "|outside:1" : "|outside:0");
}

std::string GetUserRoles(RequestContext& context) {
    std::string names = GetUserRoleNames(*ImRootOf(context), context.Param(key::kUsername));
    // A user without roles still gets an answer the console can wait for.
    return names.empty() ? std::string(reply::kNothing) : names;
}

}  // namespace

void RegisterDirectoryQueryHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kCheckUserExist, CheckUserExist);
    dispatcher.Register(req::kGetChildDepts, GetChildDepts);
    dispatcher.Register(req::kGetSameLevelDepts, GetSameLevelDepts);
    dispatcher.Register(req::kGetDeptUsers, GetDeptUsers);
    dispatcher.Register(req::kGetUserBInfo, GetUserBInfo);
    dispatcher.Register(req::kGetUserDepts, GetUserDepts);
    dispatcher.Register(req::kGetUserRoles, GetUserRoles);
}

}  // namespace warden

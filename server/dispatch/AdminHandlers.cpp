#include "server/dispatch/AdminHandlers.h"

#include <stdexcept>

#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "directory/ImError.h"
#include "server/im/ImService.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

constexpr const char kVersionMismatch[] =
    "error:此客户端版本与服务器端不匹配，请与管理员联系获得最新版本.";
constexpr const char kSuperLoginFailed[] = "error:登录失败,请检查用户名和密码";
constexpr const char kUserLoginFailed[] = "error:用户或密码错误";
constexpr const char kSuperLoginOk[] = "success|1";
constexpr const char kUserLoginOk[] = "success|0";
constexpr const char kPasswordChanged[] = "success";
constexpr const char kPasswordNotChanged[] = "error:修改密码失败";
constexpr const char kPasswordEmpty[] = "error:新密码不能为空";
constexpr const char kAdminSaved[] = "info:管理员设置成功";
constexpr const char kAdminNotSaved[] = "error:管理员信息设置失败";
constexpr const char kAdminDeleted[] = "info:删除成功";
constexpr const char kAdminNotDeleted[] = "error:删除失败";

// A handler that needs the store fails like any back-end when there is none.
AdminStore& Store(RequestContext& context) {
    if (!context.services.adminStore) throw std::runtime_error("no admin store");
    return *context.services.adminStore;
}

bool IsSuperAdmin(const std::string& name) {
    return EqualsNoCase(name, kSuperAdminName);
}

// A list reply: leading white space removed, " " when nothing is left.
std::string ListReply(const std::string& text) {
    std::string_view trimmed = TrimLeft(text);
    return trimmed.empty() ? std::string(reply::kNothing) : std::string(trimmed);
}

std::string LoginCheck(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    const std::string& password = context.Param(key::kPassword);
    if (context.Param(key::kVer) != reply::kProtocolVersion) return kVersionMismatch;
    // A failed check leaves an earlier login of this connection in force: the
    // console's password dialog re-checks an old password on a live session.
    if (IsSuperAdmin(user)) {
        if (!Store(context).CheckLogin(user, password)) return kSuperLoginFailed;
        context.session.login = LoginLevel::kSuper;
        context.session.account = user;
        return kSuperLoginOk;
    }
    if (!context.services.im) {
        throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    }
    if (context.services.im->Root()->VerifyPassword(user, password) != 0) return kUserLoginFailed;
    // Whether he is an administrator, and over what, is read at each request.
    context.session.login = LoginLevel::kDirectory;
    context.session.account = user;
    return kUserLoginOk;
}

std::string ChangePwd(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    const std::string& password = context.Param(key::kPassword);
    // An empty password would lock the account out of every console, which
    // cannot send one.
    if (Trim(password).empty()) return kPasswordEmpty;
    return Store(context).SetPassword(user, password) ? kPasswordChanged : kPasswordNotChanged;
}

// The super administrator is over everything: nothing to look up.
std::optional<std::string> SuperAdminDepts(RequestContext& context) {
    if (IsSuperAdmin(context.Param(key::kUsername))) return std::string(reply::kNothing);
    return std::nullopt;
}

std::string QueryUserAdminDepts(RequestContext& context) {
    if (auto nothing = SuperAdminDepts(context)) return *nothing;
    return "|" + Store(context).GetAdminDepts(context.Param(key::kUsername));
}

std::string GetAdminList(RequestContext& context) {
    return ListReply(Store(context).ListAdmins());
}

std::string SaveAdminDepts(RequestContext& context) {
    // "pwd" is sent by the console but not stored: second-level
    // administrators log in with their IM directory password.
    return Store(context).SaveAdmin(context.Param(key::kUsername), context.Param(key::kDepts),
                                    context.Param(key::kAdminRoles))
               ? kAdminSaved
               : kAdminNotSaved;
}

std::string DeleteAdmin(RequestContext& context) {
    return Store(context).DeleteAdmin(context.Param(key::kUsername)) ? kAdminDeleted
                                                                     : kAdminNotDeleted;
}

std::string Get2NdAdminRoles(RequestContext& context) {
    return ListReply(Store(context).GetAdminRoles(context.Param(key::kUsername)));
}

}  // namespace

std::string LoginFailedReply(std::string_view user) {
    return IsSuperAdmin(std::string(user)) ? kSuperLoginFailed : kUserLoginFailed;
}

void RegisterAdminHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kLoginCheck, LoginCheck);
    dispatcher.Register(req::kChangePwd, ChangePwd);
    dispatcher.Register(req::kQueryUserAdminDepts, QueryUserAdminDepts);
    dispatcher.RegisterQuick(req::kQueryUserAdminDepts, SuperAdminDepts);
    dispatcher.Register(req::kGetAdminList, GetAdminList);
    dispatcher.Register(req::kSaveAdminDepts, SaveAdminDepts);
    dispatcher.Register(req::kDeleteAdmin, DeleteAdmin);
    dispatcher.Register(req::kGet2NdAdminRoles, Get2NdAdminRoles);
}

}  // namespace warden

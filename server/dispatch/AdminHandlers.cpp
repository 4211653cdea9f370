#include "server/dispatch/AdminHandlers.h"

#include <chrono>
#include <memory>
#include <stdexcept>

#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/LoginThrottle.h"
#include "server/dispatch/SessionRegistry.h"
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
constexpr const char kOldPasswordWrong[] = "error:原密码错误";
constexpr const char kInitialPasswordRemote[] =
    "error:超级管理员仍在使用初始密码,只能从服务器本机登录;请在服务器上运行 "
    "warden-server --set-admin-password 修改密码";
constexpr const char kTooManySessions[] = "error:该账号同时登录的连接已达上限,请先退出其他控制台";
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

// Whether `address` is this machine's loopback: 127.0.0.0/8 or ::1, also
// as an IPv4-mapped IPv6 address.
bool IsLoopback(const std::string& address) {
    std::string_view text = address;
    if (text.starts_with("::ffff:")) text.remove_prefix(7);
    return text.starts_with("127.") || text == "::1";
}

// A list reply: leading white space removed, " " when nothing is left.
std::string ListReply(const std::string& text) {
    std::string_view trimmed = TrimLeft(text);
    return trimmed.empty() ? std::string(reply::kNothing) : std::string(trimmed);
}

// Makes `session` speak for `account` at `level`, when the account has a
// place left; false (the session unchanged) when it has none.
bool Grant(RequestContext& context, LoginLevel level, const std::string& account,
           bool administrator) {
    Session& session = context.session;
    SessionRegistry* sessions = context.services.sessions;
    if (sessions && !sessions->Admit(session, account, administrator)) return false;
    session.login = level;
    session.account = account;
    session.administrator = administrator;
    session.loginAt = std::chrono::steady_clock::now();
    return true;
}

std::string LoginCheck(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    const std::string& password = context.Param(key::kPassword);
    if (context.Param(key::kVer) != reply::kProtocolVersion) return kVersionMismatch;
    // A failed check leaves an earlier login of this connection in force.
    if (IsSuperAdmin(user)) {
        if (!Store(context).CheckLogin(user, password)) return kSuperLoginFailed;
        // Everybody knows the initial password: until it is changed it opens
        // the server only to someone on its own machine.
        if (password == kInitialAdminPassword && !IsLoopback(context.session.peerAddress)) {
            return kInitialPasswordRemote;
        }
        return Grant(context, LoginLevel::kSuper, kSuperAdminName, true) ? kSuperLoginOk
                                                                          : kTooManySessions;
    }
    if (!context.services.im) {
        throw ImError(im_code::kNotConnected, "warden-server", "no IM directory");
    }
    std::shared_ptr<ImRoot> root = context.services.im->Root();
    if (root->VerifyPassword(user, password) != 0) return kUserLoginFailed;
    // The directory's own spelling, so that the trail holds one name per
    // account however it was typed.
    const std::string account = root->GetUserManager().GetAccountName(user);
    // Whether he is an administrator, and over what, is read at each request;
    // this only decides whether the login counts as one.
    const bool administrator = Store(context).HasAccount(account);
    return Grant(context, LoginLevel::kDirectory, account, administrator) ? kUserLoginOk
                                                                          : kTooManySessions;
}

// The current password must come with the new one; a wrong one counts as a
// failed login of the sender from his address. Every other login of the
// account ends.
std::string ChangePwd(RequestContext& context) {
    const std::string& user = context.Param(key::kUsername);
    const std::string& password = context.Param(key::kPassword);
    // An empty password would lock the account out of every console, which
    // cannot send one.
    if (Trim(password).empty()) return kPasswordEmpty;
    LoginThrottle* throttle = context.services.throttle;
    const std::string& address = context.session.peerAddress;
    const std::string& sender = context.session.account;
    if (throttle &&
        throttle->Begin(sender, address, LoginThrottle::Clock::now()).lock !=
            LoginThrottle::Lock::kNone) {
        return kOldPasswordWrong;
    }
    if (!Store(context).CheckLogin(user, context.Param(key::kOldPassword))) {
        if (throttle) throttle->Fail(sender, address, LoginThrottle::Clock::now());
        return kOldPasswordWrong;
    }
    if (throttle) throttle->Succeed(sender, address, LoginThrottle::Clock::now());
    if (!Store(context).SetPassword(user, password)) return kPasswordNotChanged;
    if (context.services.sessions) context.services.sessions->EndLogins(user, &context.session);
    return kPasswordChanged;
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

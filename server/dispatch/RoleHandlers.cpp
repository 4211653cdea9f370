#include "server/dispatch/RoleHandlers.h"

#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"
#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/ImAccess.h"
#include "server/im/NameLists.h"
#include "server/im/RoleRights.h"

namespace warden {

namespace {

// An answer that comes out empty is still sent, so the console never waits
// for a reply that cannot come.
std::string OrNothing(std::string text) {
    return text.empty() ? std::string(reply::kNothing) : text;
}

std::string GetAllRoles(RequestContext& context) {
    return OrNothing(StripRoleXml(ImRootOf(context)->GetRoleManager().GetAllRoles()));
}

std::string GetRoleDescription(RequestContext& context) {
    auto root = ImRootOf(context);
    std::string info = root->GetRoleManager().GetRoleDescription(context.Param(key::kRoleName));
    return OrNothing(info.empty() ? info : GetRoleDescriptionText(info));
}

std::string GetRightsOfRole(RequestContext& context) {
    auto root = ImRootOf(context);
    return OrNothing(GetRoleRightsList(
        *root, root->GetRoleManager().GetRoleRights(context.Param(key::kRoleName))));
}

std::string GetAllRightsHandler(RequestContext& context) {
    return OrNothing(GetAllRights(*ImRootOf(context)));
}

std::string RoleAdmin(RequestContext& context) {
    const std::string& op = context.Param(key::kOp);
    const std::string& name = context.Param(key::kName);
    const std::string& description = context.Param(key::kDesc);
    if (op.empty() || name.empty()) return reply::kNothing;

    if (EqualsNoCase(op, "add")) {
        if (!IsCarriableName(name)) return kReservedNameReply;
        auto root = ImRootOf(context);
        root->GetRoleManager().AddRole(name, description);
        // The role stays even when its rights are refused: it was created.
        std::string result = UpdateRoleRights(*root, name, context.Param(key::kRightInfo));
        return EqualsNoCase(result, reply::kInfoPrefix) ? "info:添加角色成功" : result;
    }
    if (EqualsNoCase(op, "del")) {
        ImRootOf(context)->GetRoleManager().DeleteRole(name);
        return "info:删除角色成功";
    }
    if (EqualsNoCase(op, "update")) {
        const std::string& newName = context.Param(key::kNewName);
        auto root = ImRootOf(context);
        ImRoleManager& roles = root->GetRoleManager();
        if (EqualsNoCase(newName, name)) {
            // Only the description changes, and the role ends named as "name"
            // was sent. One update does it: going through a temporary name
            // would be refused for the built-in roles, which cannot be renamed.
            roles.UpdateRole(name, name, description);
        } else {
            if (!IsCarriableName(newName)) return kReservedNameReply;
            roles.UpdateRole(name, newName, description);
        }
        return "info:修改角色成功";
    }
    return {};  // an operation the server does not know gets no reply
}

std::string UpdateRoleRight(RequestContext& context) {
    std::string result = UpdateRoleRights(*ImRootOf(context), context.Param(key::kName),
                                          context.Param(key::kRightInfo));
    return EqualsNoCase(result, reply::kInfoPrefix) ? "true" : result;
}

}  // namespace

void RegisterRoleHandlers(Dispatcher& dispatcher) {
    dispatcher.Register(req::kGetAllRoles, GetAllRoles);
    dispatcher.Register(req::kGetRoleDescription, GetRoleDescription);
    dispatcher.Register(req::kGetRightsOfRole, GetRightsOfRole);
    dispatcher.Register(req::kGetAllRights, GetAllRightsHandler);
    dispatcher.Register(req::kRoleAdmin, RoleAdmin);
    dispatcher.Register(req::kUpdateRoleRight, UpdateRoleRight);
}

}  // namespace warden

// What every IM directory starts with, whichever back-end keeps it: the ten
// rights with their display names and defaults, the two built-in roles, the
// first user number and the spacing of department sort positions.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace warden {

struct RightDefinition {
    std::string_view identity;
    std::string_view name;  // display name shown to administrators
    bool defaultAllow;
};

// The rights of the directory, in the order administrators see them.
inline constexpr std::array<RightDefinition, 10> kRights = {{
    {"RIGHT_INNER_SEND_SMS", "发送手机短信", true},
    {"RIGHT_INNER_LAUNCH_CONVERSATION_N", "发起多人会话", true},
    {"RIGHT_INNER_SEND_FILE_N(M)", "在多人会话中发送文件", true},
    {"RIGHT_INNER_SEND_FILE_BYP2P", "点对点发送文件", true},
    {"RIGHT_INNER_SEND_BROADCAST_MSG", "发送全员广播消息", false},
    {"RIGHT_INNER_REMOTE_LOGON", "异地登录", true},
    {"RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT", "仅向本部门发送广播消息", true},
    {"RIGHT_OUT_CREATE_MULTI_SESSION", "与外部联系人发起多人会话", true},
    {"RIGHT_OUT_SEND_FILE_LIMIT", "向外部联系人发送文件(限制大小)", true},
    {"RIGHT_OUT_SEND_FILE_NOLIMIT", "向外部联系人发送文件(不限大小)", false},
}};

// The roles every directory has; they can be neither deleted nor renamed.
// Every new user holds "User", which starts with each right's default;
// administrators start with every right allowed.
inline constexpr std::string_view kRoleUser = "User";
inline constexpr std::string_view kRoleUserDescription = "所有用户的基本角色";
inline constexpr std::string_view kRoleAdministrator = "管理员";
inline constexpr std::string_view kRoleAdministratorDescription = "系统管理员";

// The first uin handed out in a new directory.
inline constexpr int64_t kFirstUin = 10001;

// Spacing of sort positions: a new department goes kSortStep after the last
// sibling, and ordering renumbers siblings kSortStep, 2*kSortStep, ...
inline constexpr int64_t kSortStep = 10;

}  // namespace warden

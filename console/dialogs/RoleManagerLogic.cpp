#include "console/dialogs/RoleManagerLogic.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

constexpr std::string_view kOpAdd = "add";
constexpr std::string_view kOpUpdate = "update";
constexpr std::string_view kOpDelete = "del";

// Roles whose name and rights the directory itself relies on.
bool IsFixedRole(std::string_view role) {
    return role == "User" || role == "管理员";
}

// The same roles, as deletion checks them: any letter case.
bool IsUndeletableRole(std::string_view role) {
    return EqualsNoCase(role, "user") || role == "管理员";
}

}  // namespace

// --- 角色管理 ----------------------------------------------------------------

RoleManagerLogic::RoleManagerLogic(Transport& transport, MessageSink& sink)
    : m_transport(transport), m_sink(sink) {}

void RoleManagerLogic::Open() {
    std::string reply = m_transport.SendRequest(req::kGetAllRoles, "");
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    for (std::string& role : SplitList(reply, "=")) {
        if (!Trim(role).empty()) m_roles.Add(std::move(role));
    }
}

void RoleManagerLogic::ClearSelectedRole() {
    m_roles.Select(-1);
    m_rights.Clear();
    m_name.clear();
    m_description.clear();
    m_changeable = false;
}

void RoleManagerLogic::ClickRole(int index) {
    m_roles.Select(-1);
    if (index < 0 || index >= m_roles.Size()) return;
    m_rights.Clear();
    m_roles.Select(index);
    const std::string role = m_roles.At(index);
    m_changeable = !IsFixedRole(role);
    m_name = role;

    std::string description =
        m_transport.SendRequest(req::kGetRoleDescription, ComposeParams({{key::kRoleName, role}}));
    if (HasErrorPrefix(description)) {
        ShowReplyMessage(m_sink, description);
        description.clear();
    }
    m_description = std::string(TrimLeft(description));

    std::string rights =
        m_transport.SendRequest(req::kGetRightsOfRole, ComposeParams({{key::kRoleName, role}}));
    if (HasErrorPrefix(rights)) {
        ShowReplyMessage(m_sink, rights);
        return;
    }
    for (RightRow& row : ParseRoleRights(rights)) m_rights.Add(std::move(row));
}

namespace {

bool CheckRoleFields(MessageSink& sink, const std::string& name, const std::string& description,
                     const char* descriptionLabel) {
    return CheckFields(
        sink, {{text::kRoleNameLabel, name, FieldKind::kName, limits::kRoleName},
               {descriptionLabel, description, FieldKind::kValue, limits::kRoleDescription}});
}

}  // namespace

bool RoleManagerLogic::UpdateRole(const std::string& name, const std::string& description) {
    if (!m_roles.HasSelection()) return false;
    if (!CheckRoleFields(m_sink, name, description, text::kRoleDescLabel)) return false;
    const std::string current = m_roles.SelectedText();
    std::string reply =
        m_transport.SendRequest(req::kRoleAdmin, ComposeParams({{key::kOp, kOpUpdate},
                                                                {key::kName, current},
                                                                {key::kNewName, name},
                                                                {key::kDesc, description}}));
    ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) return false;
    // The renamed role takes its new place in the sorted list, still selected.
    m_roles.RemoveAt(m_roles.Selected());
    m_roles.Select(m_roles.Add(name));
    m_name = name;
    m_description = description;
    return true;
}

bool RoleManagerLogic::DeleteRole() {
    if (!m_roles.HasSelection()) return false;
    const std::string role = m_roles.SelectedText();
    if (IsUndeletableRole(role)) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kRoleNotDeletable);
        return false;
    }
    if (!m_sink.AskOkCancel(text::kCaptionConfirm, "确定要删除角色[" + role + "]么?")) return false;
    std::string reply = m_transport.SendRequest(
        req::kRoleAdmin, ComposeParams({{key::kOp, kOpDelete}, {key::kName, role}}));
    ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) return false;
    // Nothing may go on acting on a role that is gone.
    m_roles.RemoveAt(m_roles.Selected());
    ClearSelectedRole();
    return true;
}

std::optional<RightSetting> RoleManagerLogic::RightToEdit() const {
    if (!m_rights.HasSelection()) return std::nullopt;
    const RightRow& right = m_rights.At(m_rights.Selected());
    std::string role = m_roles.HasSelection() ? m_roles.SelectedText() : std::string();
    if (right.identity.empty() || role.empty()) return std::nullopt;
    return RightSetting{std::move(role), right.description, right.identity, FlagOf(right.deny),
                        FlagOf(right.allow)};
}

void RoleManagerLogic::SetSelectedRightFlags(const std::string& deny, const std::string& allow) {
    if (!m_rights.HasSelection()) return;
    m_rights.SetMarks(m_rights.Selected(), MarkOf(deny), MarkOf(allow));
}

void RoleManagerLogic::RoleAdded(const std::string& name) {
    m_roles.Add(name);
}

// --- 权限设置 ----------------------------------------------------------------

RightSettingLogic::RightSettingLogic(Transport& transport, MessageSink& sink,
                                     RoleManagerLogic& manager, RightSetting setting)
    : m_transport(transport), m_sink(sink), m_manager(manager), m_setting(std::move(setting)) {}

RightChoice RightSettingLogic::InitialChoice() const {
    if (m_setting.allow == "1") return RightChoice::kAllow;
    if (m_setting.deny == "1") return RightChoice::kDeny;
    return RightChoice::kNone;
}

void RightSettingLogic::Submit(RightChoice choice) {
    const bool allow = choice == RightChoice::kAllow;
    const std::string denyFlag = allow ? "0" : "1";
    const std::string allowFlag = allow ? "1" : "0";
    const std::string info = m_setting.identity + "|" + denyFlag + "|" + allowFlag;
    std::string reply = m_transport.SendRequest(
        req::kUpdateRoleRight,
        ComposeParams({{key::kName, m_setting.role}, {key::kRightInfo, info}}));
    if (EqualsNoCase(reply, "true")) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo, text::kRightChanged);
        m_manager.SetSelectedRightFlags(denyFlag, allowFlag);
    } else {
        ShowReplyMessage(m_sink, reply);
    }
}

// --- 添加角色 ----------------------------------------------------------------

AddRoleLogic::AddRoleLogic(Transport& transport, MessageSink& sink, RoleManagerLogic& manager)
    : m_transport(transport), m_sink(sink), m_manager(manager) {}

void AddRoleLogic::Open() {
    std::string reply = m_transport.SendRequest(req::kGetAllRights, "");
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    for (RightRow& row : ParseAllRights(reply)) m_rights.Add(std::move(row));
}

RightChoice AddRoleLogic::ClickRight(int index) {
    m_rights.Select(index);
    if (!m_rights.HasSelection()) return RightChoice::kNone;
    const RightRow& row = m_rights.At(index);
    if (row.allow == "+") return RightChoice::kAllow;
    if (row.deny == "+") return RightChoice::kDeny;
    return RightChoice::kNone;
}

void AddRoleLogic::Choose(RightChoice choice) {
    if (!m_rights.HasSelection() || choice == RightChoice::kNone) return;
    const bool allow = choice == RightChoice::kAllow;
    m_rights.SetMarks(m_rights.Selected(), allow ? "-" : "+", allow ? "+" : "-");
}

AddRoleOutcome AddRoleLogic::Submit(const std::string& name, const std::string& description) {
    if (Trim(name).empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kEnterRoleName);
        return AddRoleOutcome::kFocusName;
    }
    if (!CheckRoleFields(m_sink, name, description, text::kNewRoleDescLabel)) {
        return AddRoleOutcome::kFocusName;
    }
    std::string reply = m_transport.SendRequest(
        req::kRoleAdmin, ComposeParams({{key::kOp, kOpAdd},
                                        {key::kName, name},
                                        {key::kDesc, description},
                                        {key::kRightInfo, m_rights.RightInfo()}}));
    ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) return AddRoleOutcome::kStayOpen;
    m_manager.RoleAdded(name);
    return AddRoleOutcome::kAdded;
}

}  // namespace warden::console

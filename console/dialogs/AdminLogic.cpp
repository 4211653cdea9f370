#include "console/dialogs/AdminLogic.h"

#include "console/core/AskAll.h"
#include "console/core/ConsoleTexts.h"
#include "console/core/DeptScope.h"
#include "console/core/DeptTree.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/AdminDetailLogic.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "console/dialogs/RoleNames.h"
#include "protocol/NameRules.h"
#include "protocol/Permissions.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

// The departments of a "QueryUserAdminDepts.asp" reply.
std::vector<std::string> AdminDepts(std::string_view reply) {
    return SplitList(ManagedDeptsOf(reply), ";");
}

}  // namespace

// --- 分级管理员管理 ----------------------------------------------------------

AdminListLogic::AdminListLogic(Transport& transport, MessageSink& sink)
    : m_transport(transport), m_sink(sink) {}

void AdminListLogic::Open() {
    std::string reply = m_transport.SendRequest(req::kGetAdminList, "");
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    for (std::string& name : SplitList(Trim(reply), "|")) m_admins.Add(std::move(name));
    LoadOverviews(m_admins.Items());
}

void AdminListLogic::LoadOverviews(const std::vector<std::string>& accounts) {
    std::vector<Request> asks;
    for (const std::string& account : accounts) {
        const std::string params = ComposeParams({{key::kUsername, account}});
        asks.emplace_back(req::kGetAdminEffective, params);
        asks.emplace_back(req::kGetUserBInfo, params);
    }
    const std::vector<std::string> replies = AskAll(m_transport, asks);
    for (size_t i = 0; i < accounts.size(); ++i) {
        const std::string& effective = replies[2 * i];
        const std::string& record = replies[2 * i + 1];
        AdminOverview overview;
        if (!effective.empty() && !HasErrorPrefix(effective)) {
            // A gone department or role stays in his row, marked, so that
            // the list shows what needs mending.
            auto join = [](const std::vector<AdminEffective::Entry>& entries, const char* between) {
                std::string text;
                for (const AdminEffective::Entry& entry : entries) {
                    if (!text.empty()) text += between;
                    text += entry.name;
                    const std::string state = AdminDetailLogic::StateText(entry.state);
                    if (!state.empty()) text += "(" + state + ")";
                }
                return text;
            };
            const AdminEffective parsed = ParseAdminEffective(effective);
            overview.depts = join(parsed.depts, "; ");
            overview.roles = join(parsed.roles, "、");
        }
        if (!HasErrorPrefix(record)) overview.name = AdminDetailLogic::NameInRecord(record);
        m_overviews[accounts[i]] = std::move(overview);
    }
}

AdminOverview AdminListLogic::Overview(const std::string& account) const {
    auto found = m_overviews.find(account);
    return found == m_overviews.end() ? AdminOverview{} : found->second;
}

void AdminListLogic::SelectAdmin(int index) {
    m_admins.Select(index);
    m_depts.Clear();
    if (!m_admins.HasSelection() || m_admins.SelectedText().empty()) return;
    std::string reply = m_transport.SendRequest(
        req::kQueryUserAdminDepts, ComposeParams({{key::kUsername, m_admins.SelectedText()}}));
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    for (std::string& dept : AdminDepts(Trim(reply))) m_depts.Add(std::move(dept));
}

void AdminListLogic::DeleteSelected() {
    if (!m_admins.HasSelection()) return;
    const std::string name = m_admins.SelectedText();
    if (!m_sink.AskOkCancel(text::kCaptionConfirm, "确认删除 " + name + " 管理员么?")) return;
    std::string reply =
        m_transport.SendRequest(req::kDeleteAdmin, ComposeParams({{key::kUsername, name}}));
    if (HasInfoPrefix(reply)) {
        m_admins.RemoveAt(m_admins.FindNoCase(name));
        m_depts.Clear();
        m_overviews.erase(name);
    }
    ShowReplyMessage(m_sink, reply);
}

std::string AdminListLogic::SelectedAdmin() const {
    return m_admins.HasSelection() ? m_admins.SelectedText() : std::string();
}

void AdminListLogic::AdminSaved(const std::string& name, bool added, const SortedNames& depts) {
    if (added) m_admins.Add(name);
    m_admins.Select(m_admins.FindNoCase(name));
    if (m_admins.HasSelection()) LoadOverviews({m_admins.SelectedText()});
    m_depts.Clear();
    for (const std::string& dept : depts.Items()) {
        if (!dept.empty()) m_depts.Add(dept);
    }
}

// --- 添加分级管理员 / 修改分级管理员 -----------------------------------------

AdminEditorLogic::AdminEditorLogic(Transport& transport, MessageSink& sink, const LoginState& login,
                                   std::string name, bool update, AdminListLogic* owner,
                                   std::string presetDept)
    : m_transport(transport),
      m_sink(sink),
      m_login(login),
      m_name(std::move(name)),
      m_update(update),
      m_owner(owner),
      m_presetDept(std::move(presetDept)),
      m_tree(transport, sink, login) {}

const char* AdminEditorLogic::Title() const {
    return m_update ? text::kUpdateAdminTitle : text::kAddAdminTitle;
}

bool AdminEditorLogic::Open() {
    std::string depts = m_transport.SendRequest(req::kQueryUserAdminDepts,
                                                ComposeParams({{key::kUsername, m_name}}));
    if (HasErrorPrefix(depts)) {
        ShowReplyMessage(m_sink, depts);
    } else {
        std::string_view reply = Trim(depts);
        if (!reply.empty()) {
            size_t bar = reply.find('|');
            m_password = std::string(bar == std::string_view::npos ? "" : reply.substr(0, bar));
            for (std::string& dept : AdminDepts(reply)) m_managed.Add(std::move(dept));
        }
    }

    // "设为管理员" on someone who already is one: opening him as new would
    // save his roles away.
    if (!m_update && m_owner == nullptr && !m_name.empty()) {
        m_update = !m_managed.Empty() || IsListedAdmin(m_name, false).value_or(false);
    }

    if (m_update) {
        std::string roles = m_transport.SendRequest(req::kGet2NdAdminRoles,
                                                    ComposeParams({{key::kUsername, m_name}}));
        if (HasErrorPrefix(roles)) {
            ShowReplyMessage(m_sink, roles);
        } else {
            for (const std::string& piece : SplitList(roles, "|")) {
                std::string role(TrimLeft(piece));
                if (!role.empty() && !IsBuiltInRole(role)) m_given.Add(std::move(role));
            }
        }
    }

    m_tree.Rebuild();

    if (m_login.IsSuper()) {
        std::string all = m_transport.SendRequest(req::kGetAllRoles, "");
        if (HasErrorPrefix(all)) {
            ShowReplyMessage(m_sink, all);
        } else {
            for (std::string& role : AssignableRoles(all, "=")) m_assignable.Add(std::move(role));
        }
    }
    for (const std::string& role : m_assignable.Items()) {
        if (m_given.FindExact(role) < 0) m_available.Add(role);
    }

    if (m_presetDept.empty()) return false;
    int conflict = FindConflict(m_presetDept);
    if (conflict < 0) {
        m_managed.Add(m_presetDept);
        return false;
    }
    m_managed.Select(conflict);
    return true;
}

std::optional<bool> AdminEditorLogic::IsListedAdmin(const std::string& name, bool reportFailure) {
    std::string reply = m_transport.SendRequest(req::kGetAdminList, "");
    if (reply.empty() || HasErrorPrefix(reply)) {
        if (reportFailure && !ShowUnsavedWithoutReply(m_sink, reply)) {
            ShowReplyMessage(m_sink, reply);
        }
        return std::nullopt;
    }
    for (const std::string& admin : SplitList(Trim(reply), "|")) {
        if (EqualsNoCase(admin, name)) return true;
    }
    return false;
}

void AdminEditorLogic::ClickTree(const DeptNode* selected) {
    m_chosenDept = m_tree.Click(selected);
}

int AdminEditorLogic::FindConflict(const std::string& candidate) const {
    for (int i = 0; i < m_managed.Size(); ++i) {
        const std::string& entry = m_managed.At(i);
        // "\A\B" and "\A\B2" are siblings, not parent and child.
        if (PathCovers(entry, candidate) || PathCovers(candidate, entry)) return i;
    }
    return -1;
}

bool AdminEditorLogic::AddChosenDept() {
    // Nothing chosen would conflict with every entry, or be saved as an
    // empty department.
    if (m_chosenDept.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kChooseDept);
        return false;
    }
    int conflict = FindConflict(m_chosenDept);
    if (conflict >= 0) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           "[" + m_chosenDept + text::kDeptConflictSuffix);
        m_managed.Select(conflict);
        return true;
    }
    m_managed.Add(m_chosenDept);
    return false;
}

void AdminEditorLogic::DeleteKey() {
    int at = m_managed.Selected();
    if (at < 0) return;
    m_managed.RemoveAt(at);
    m_managed.Select(at);
}

void AdminEditorLogic::GiveSelectedRole() {
    if (!m_available.HasSelection()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kChooseRole);
        return;
    }
    const std::string role = m_available.SelectedText();
    if (m_given.FindExact(role) >= 0) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kRoleAlreadyListed);
        return;
    }
    m_available.RemoveAt(m_available.Selected());
    m_given.Add(role);
}

void AdminEditorLogic::RemoveSelectedRole() {
    if (!m_given.HasSelection()) return;
    const std::string role = m_given.SelectedText();
    m_given.RemoveAt(m_given.Selected());
    // A role he may not hand out (given by the super administrator) is not
    // offered back.
    if (m_assignable.FindExact(role) >= 0 && m_available.FindExact(role) < 0) m_available.Add(role);
}

AdminSaveOutcome AdminEditorLogic::Save(const std::string& typedName) {
    const std::string name = NameEditable() ? typedName : m_name;
    const std::string password(Trim(m_password));
    std::string depts;
    for (const std::string& dept : m_managed.Items()) depts.append(dept).append(";");
    std::string roles;
    for (const std::string& role : m_given.Items()) roles.append(role).append("|");

    if (depts.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kSetManagedDepts);
        return AdminSaveOutcome::kStayOpen;
    }
    if (!CheckFields(m_sink, {{text::kUserNameLabel, name, FieldKind::kName, limits::kAccount}})) {
        return AdminSaveOutcome::kStayOpen;
    }
    if (m_owner != nullptr && !m_update && m_owner->Admins().FindNoCase(name) >= 0) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           "管理员 " + name + " 已存在于列表中");
        return AdminSaveOutcome::kStayOpen;
    }
    if (!m_update) {
        // Unread, the list cannot tell a new administrator from one whose
        // departments and roles the save would replace: nothing is saved.
        const std::optional<bool> listed = IsListedAdmin(name, true);
        if (!listed) return AdminSaveOutcome::kStayOpen;
        if (*listed) {
            m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                               name + text::kAlreadyAdminSuffix);
            return AdminSaveOutcome::kStayOpen;
        }
    }
    std::string exists =
        m_transport.SendRequest(req::kCheckUserExist, ComposeParams({{key::kUsername, name}}));
    if (!HasInfoPrefix(exists)) {
        if (!ShowUnsavedWithoutReply(m_sink, exists)) ShowReplyMessage(m_sink, exists);
        return AdminSaveOutcome::kStayOpen;
    }
    std::string reply =
        m_transport.SendRequest(req::kSaveAdminDepts, ComposeParams({{key::kUsername, name},
                                                                     {key::kPwd, password},
                                                                     {key::kDepts, depts},
                                                                     {key::kAdminRoles, roles}}));
    // Without a reply nothing is known to be saved: keep the edit.
    if (ShowUnsavedWithoutReply(m_sink, reply)) return AdminSaveOutcome::kStayOpen;
    ShowReplyMessage(m_sink, reply);
    if (HasInfoPrefix(reply) && m_owner != nullptr) m_owner->AdminSaved(name, !m_update, m_managed);
    return AdminSaveOutcome::kClose;
}

}  // namespace warden::console

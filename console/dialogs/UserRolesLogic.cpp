#include "console/dialogs/UserRolesLogic.h"

#include "console/core/ReplyMessage.h"
#include "console/dialogs/RequestParams.h"
#include "console/dialogs/RoleNames.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

// Moves the selected entry of `from` to `to`; nothing without a selection.
void MoveSelected(SortedNames& from, SortedNames& to) {
    if (!from.HasSelection()) return;
    std::string role = from.SelectedText();
    from.RemoveAt(from.Selected());
    to.Add(std::move(role));
}

}  // namespace

UserRolesLogic::UserRolesLogic(Transport& transport, MessageSink& sink, const LoginState& login,
                               std::string rolesText)
    : m_transport(transport), m_sink(sink), m_login(login), m_rolesText(std::move(rolesText)) {}

void UserRolesLogic::Open() {
    const bool super = m_login.IsSuper();
    std::string reply =
        super ? m_transport.SendRequest(req::kGetAllRoles, "")
              : m_transport.SendRequest(req::kGet2NdAdminRoles,
                                        ComposeParams({{key::kUsername, m_login.loginName}}));
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
    } else {
        for (std::string& role : AssignableRoles(reply, super ? "=" : "|")) {
            m_grantable.Add(role);
            m_available.Add(std::move(role));
        }
    }
    // The user keeps his roles even when the list above could not be read:
    // "确定" would otherwise take them all away.
    for (const std::string& role : SplitList(m_rolesText, ";")) {
        if (Trim(role).empty() || IsBuiltInRole(role)) continue;
        m_available.RemoveAt(m_available.FindNoCase(role));
        m_given.Add(role);
    }
}

void UserRolesLogic::GiveSelected() {
    MoveSelected(m_available, m_given);
}

bool UserRolesLogic::CanTakeBack() const {
    if (!m_given.HasSelection()) return false;
    if (m_login.IsSuper()) return true;
    return m_grantable.FindNoCase(m_given.SelectedText()) >= 0;
}

void UserRolesLogic::TakeBackSelected() {
    if (CanTakeBack()) MoveSelected(m_given, m_available);
}

std::string UserRolesLogic::RolesText() const {
    std::string text;
    for (const std::string& role : m_given.Items()) text.append(role).append(";");
    return text;
}

}  // namespace warden::console

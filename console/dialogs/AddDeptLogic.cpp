#include "console/dialogs/AddDeptLogic.h"

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

AddDeptLogic::AddDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window)
    : m_transport(transport), m_sink(sink), m_window(window), m_parent(window.CurrentDeptPath()) {}

void AddDeptLogic::ClearParent() {
    if (!m_window.Login().IsSuper()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           text::kOnlySuperAddsTopLevel);
        return;
    }
    m_parent.clear();
}

bool AddDeptLogic::Add(const std::string& typed) {
    const std::string_view name = Trim(typed);
    if (name.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kEnterDeptName);
        return false;
    }
    if (!CheckFields(m_sink, {{text::kDeptNameLabel, name, FieldKind::kName, limits::kDeptName}})) {
        return false;
    }
    std::string reply = m_transport.SendRequest(
        req::kDeptAdd, ComposeParams({{key::kDeptIdLower, name}, {key::kParentDept, m_parent}}));
    if (reply.empty()) return false;
    ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) return false;
    m_window.DeptAdded(m_parent, std::string(name));
    return true;
}

}  // namespace warden::console

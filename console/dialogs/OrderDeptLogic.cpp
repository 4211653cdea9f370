#include "console/dialogs/OrderDeptLogic.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

OrderDeptLogic::OrderDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window,
                               std::string path)
    : m_transport(transport), m_sink(sink), m_window(window), m_path(std::move(path)) {}

void OrderDeptLogic::Open() {
    std::vector<std::string> parts = SplitList(m_path, "\\");
    // An assigned department of a second-level administrator is not his to
    // reorder (nor is anything outside his departments).
    if (parts.empty() || !m_window.MayRestructure(m_path)) return;
    m_name = parts.back();
    m_prefix = "\\";
    for (size_t i = 0; i + 1 < parts.size(); ++i) m_prefix.append(parts[i]).append("\\");

    std::string reply = m_transport.SendRequest(req::kGetSameLevelDepts,
                                                ComposeParams({{key::kDeptIdMixed, m_prefix}}));
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    std::vector<std::string> names = SplitList(Trim(reply), ",");
    if (names.empty()) return;
    if (names.size() == 1) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           m_path + text::kNoSiblingsSuffix);
        return;
    }
    // Every sibling of a department strictly inside a second-level
    // administrator's scope is strictly inside too: all are listed.
    for (std::string& name : names) {
        if (name == m_name) continue;
        m_lastSibling = name;
        m_siblings.push_back(std::move(name));
    }
    if (!m_siblings.empty()) {
        m_initialChoice = 0;
        m_canSubmit = true;
    }
}

bool OrderDeptLogic::Submit(bool last, const std::string& chosen) {
    if (!m_canSubmit) return false;
    std::string next = m_prefix + (last ? m_lastSibling : std::string(Trim(chosen)));
    std::string reply = m_transport.SendRequest(req::kSetDeptOrder,
                                                ComposeParams({{key::kDeptNameMixed, m_path},
                                                               {key::kNextDeptName, next},
                                                               {key::kIsLast, last ? "1" : "0"}}));
    reply = std::string(Trim(reply));
    ShowReplyMessage(m_sink, reply);
    if (!HasInfoPrefix(reply)) return false;
    m_window.DeptsReordered(m_prefix);
    return true;
}

}  // namespace warden::console

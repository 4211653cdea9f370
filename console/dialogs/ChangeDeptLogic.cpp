#include "console/dialogs/ChangeDeptLogic.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/FieldRules.h"
#include "console/core/ReplyMessage.h"
#include "console/dialogs/DialogTexts.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/NameRules.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

constexpr std::string_view kOpRename = "changedeptname";
constexpr std::string_view kOpMove = "changeparent";

}  // namespace

ChangeDeptLogic::ChangeDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window)
    : m_transport(transport),
      m_sink(sink),
      m_window(window),
      m_tree(transport, sink, window.Login()) {}

void ChangeDeptLogic::Open() {
    m_oldPath = m_window.CurrentDeptPath();
    // An assigned department of a second-level administrator is not his to
    // rename or move: the dialog then has nothing to change.
    if (!m_window.MayRestructure(m_oldPath)) m_oldPath.clear();
    if (m_oldPath.empty()) return;
    std::vector<std::string> parts = SplitList(m_oldPath, "\\");
    m_oldName = parts.empty() ? std::string() : parts.back();
    m_tree.SetExcluded(m_oldPath);
    m_tree.Rebuild();
}

ChangeDeptOutcome ChangeDeptLogic::Submit(const std::string& typed, const DeptNode* parent) {
    const std::string name(Trim(typed));
    if (name.empty()) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kDeptNameEmpty);
        return ChangeDeptOutcome::kFocusName;
    }
    if (!CheckFields(m_sink, {{text::kDeptNameLabel, name, FieldKind::kName, limits::kDeptName}})) {
        return ChangeDeptOutcome::kFocusName;
    }
    // Opened without a department: there is nothing to rename or move.
    if (m_oldPath.empty()) return ChangeDeptOutcome::kStayOpen;
    if (name == m_oldName && parent == nullptr) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint, text::kDeptUnchanged);
        return ChangeDeptOutcome::kFocusName;
    }
    const std::string oldPath = m_oldPath;

    std::vector<std::string> parts = SplitList(m_oldPath, "\\");
    parts.back() = name;
    std::string newPath;
    for (const std::string& part : parts) newPath.append("\\").append(part);

    // The server has made the rename when it answers: the move that
    // follows finds the department under its new name at once.
    std::string result = reply::kInfoPrefix;
    if (name != m_oldName) {
        result = m_transport.SendRequest(req::kDeptChange,
                                         ComposeParams({{key::kOp, kOpRename},
                                                        {key::kOrigDeptName, m_oldPath},
                                                        {key::kNewDeptName, name}}));
    }
    if (!HasInfoPrefix(result)) {
        ShowReplyMessage(m_sink, result);
        return ChangeDeptOutcome::kStayOpen;
    }
    m_oldPath = newPath;
    m_oldName = name;
    if (parent != nullptr) {
        result = m_transport.SendRequest(req::kDeptChange,
                                         ComposeParams({{key::kOp, kOpMove},
                                                        {key::kOrigDeptName, newPath},
                                                        {key::kNewParentDept, parent->path}}));
        if (HasInfoPrefix(result)) m_oldPath = ChildPath(parent->path, name);
    }
    ShowReplyMessage(m_sink, result);
    m_window.DeptChanged(oldPath, m_oldPath);
    return ChangeDeptOutcome::kClose;
}

}  // namespace warden::console

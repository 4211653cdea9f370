#include "console/dialogs/ChangeDeptLogic.h"

#include <chrono>
#include <thread>

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

constexpr int kPauseBeforeMoveMs = 500;
constexpr std::string_view kOpRename = "changedeptname";
constexpr std::string_view kOpMove = "changeparent";

void Sleep(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

ChangeDeptLogic::ChangeDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window,
                                 Pause pause)
    : m_transport(transport),
      m_sink(sink),
      m_window(window),
      m_pause(pause ? std::move(pause) : Pause(Sleep)),
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
    const std::string parentPath = parent != nullptr ? parent->path : std::string();

    std::vector<std::string> parts = SplitList(m_oldPath, "\\");
    parts.back() = name;
    std::string newPath;
    for (const std::string& part : parts) newPath.append("\\").append(part);

    std::string result = reply::kInfoPrefix;
    if (name != m_oldName) {
        result = m_transport.SendRequest(req::kDeptChange,
                                         ComposeParams({{key::kOp, kOpRename},
                                                        {key::kOrigDeptName, m_oldPath},
                                                        {key::kNewDeptName, name}}));
    }
    // The directory is given a moment between the rename and the move.
    m_pause(kPauseBeforeMoveMs);
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
                                                        {key::kNewParentDept, parentPath}}));
    }
    ShowReplyMessage(m_sink, result);
    m_tree.SetExcluded(m_oldPath);
    m_tree.Rebuild();
    m_window.ReloadDeptTree();
    return ChangeDeptOutcome::kClose;
}

}  // namespace warden::console

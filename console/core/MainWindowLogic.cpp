#include "console/core/MainWindowLogic.h"

#include <algorithm>

#include "console/core/ConsoleTexts.h"
#include "console/core/ReplyMessage.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

std::string Param(const char* key, std::string_view value) {
    std::string params(key);
    params.append("=").append(value);
    return params;
}

}  // namespace

MainWindowLogic::MainWindowLogic(Transport& transport, MessageSink& sink, const LoginState& login)
    : m_transport(transport), m_sink(sink), m_login(login) {}

void MainWindowLogic::SetObserver(MainWindowObserver* observer) {
    m_observer = observer != nullptr ? observer : &m_silent;
}

// --- department tree -------------------------------------------------------

std::vector<std::unique_ptr<DeptNode>> MainWindowLogic::FetchChildDepts(
    const std::string& parentPath) {
    std::string reply =
        m_transport.SendRequest(req::kGetChildDepts, Param(key::kDeptIdMixed, parentPath));
    // A refusal is a message for the user, not a list of department names.
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return {};
    }
    return ChildDeptNodes(parentPath, reply);
}

void MainWindowLogic::ReloadDeptTree() {
    std::vector<std::unique_ptr<DeptNode>> top =
        m_login.IsSuper() ? FetchChildDepts("") : ManagedDeptNodes(m_login.managedDepts);
    m_observer->BeginTreeReset();
    m_root.children = std::move(top);
    for (auto& child : m_root.children) child->parent = &m_root;
    m_observer->EndTreeReset();
}

void MainWindowLogic::ClickDept(const DeptNode* selected) {
    m_currentDeptPath.clear();
    if (m_root.children.empty() || selected == nullptr) return;
    // The node belongs to this tree; the view only hands it back.
    DeptNode* node = const_cast<DeptNode*>(selected);
    m_currentDeptPath = node->path;
    ReloadChildren(*node);
    LoadDeptUsers(node->path);
    m_observer->ExpandDept(*node);
}

void MainWindowLogic::ReloadChildren(DeptNode& node) {
    if (!node.children.empty()) {
        m_observer->BeginRemoveDeptChildren(node, static_cast<int>(node.children.size()));
        node.children.clear();
        m_observer->EndRemoveDeptChildren();
    }
    std::vector<std::unique_ptr<DeptNode>> children = FetchChildDepts(node.path);
    if (!children.empty()) {
        m_observer->BeginAppendDeptChildren(node, 0, static_cast<int>(children.size()) - 1);
        node.children = std::move(children);
        for (auto& child : node.children) child->parent = &node;
        m_observer->EndAppendDeptChildren();
    }
}

const DeptNode* MainWindowLogic::RevealUser(const std::string& path, const std::string& account) {
    const std::string target = NormalDeptPath(path);
    DeptNode* node = &m_root;
    while (node == &m_root || NormalDeptPath(node->path) != target) {
        // The child on the way: the deepest whose path covers the target
        // (a second-level administrator's top items are whole paths).
        DeptNode* next = nullptr;
        for (auto& child : node->children) {
            if (PathCovers(child->path, target) &&
                (next == nullptr || child->path.size() > next->path.size())) {
                next = child.get();
            }
        }
        if (next == nullptr) return nullptr;
        node = next;
        if (NormalDeptPath(node->path) != target) {
            ReloadChildren(*node);
            m_observer->ExpandDept(*node);
        }
    }
    ClickDept(node);
    for (int row = 0; row < m_users.Size(); ++row) {
        if (EqualsNoCase(m_users.At(row).Account(), account)) {
            ClickUser(row);
            break;
        }
    }
    return node;
}

bool MainWindowLogic::SelectDeptForMenu(const DeptNode* selected) {
    m_currentDeptPath.clear();
    if (m_root.children.empty() || selected == nullptr) return false;
    m_currentDeptPath = selected->path;
    return true;
}

// --- user list -------------------------------------------------------------

void MainWindowLogic::ClearUsers() {
    AbandonPendingRecords();
    m_observer->BeginUsersReset();
    m_users.Clear();
    m_currentUserRow = 0;
    m_observer->EndUsersReset();
}

void MainWindowLogic::AbandonPendingRecords() {
    if (PendingRecords() == 0) return;
    m_pending.clear();
    if (!m_inFlight.empty()) {
        m_transport.AbandonPosted();
        m_inFlight.clear();
    }
    ReportProgress();
}

void MainWindowLogic::ReportProgress() {
    m_observer->RecordProgress(m_pendingTotal - PendingRecords(), m_pendingTotal);
    if (PendingRecords() == 0) m_pendingTotal = 0;
}

void MainWindowLogic::LoadDeptUsers(const std::string& path) {
    ClearUsers();
    std::string reply = m_transport.SendRequest(req::kGetDeptUsers, Param(key::kDeptIdMixed, path));
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return;
    }
    std::vector<std::string> accounts = SplitList(Trim(reply), ",");
    if (accounts.empty()) return;

    m_observer->BeginUsersReset();
    m_users.Assign(std::move(accounts));
    m_observer->EndUsersReset();
    for (int i = 0; i < m_users.Size(); ++i) m_pending.push_back(&m_users.At(i));
    m_pendingTotal = m_users.Size();
    ReportProgress();
}

bool MainWindowLogic::FillNextRecord(int waitMs) {
    if (PendingRecords() == 0) return false;
    if (m_transport.Busy()) return true;
    if (!m_transport.Connected()) {
        AbandonPendingRecords();
        return false;
    }
    // Topped up once half the window has come back: the requests then go out
    // in bursts, one write for many, not one write per reply taken.
    const int window = m_transport.PipelineWindow();
    const bool topUp = m_transport.Posted() <= window / 2;
    while (topUp && !m_pending.empty() && m_transport.Posted() < window) {
        UserRow* row = m_pending.front();
        m_pending.pop_front();
        // A row whose request cannot be sent keeps its empty fields.
        if (m_transport.PostRequest(req::kGetUserBInfo, Param(key::kUsername, row->Account()))) {
            m_inFlight.push_back({row, row->Account()});
        }
    }
    for (int wait = waitMs; !m_inFlight.empty(); wait = 0) {
        std::optional<std::string> reply = m_transport.TakeReply(wait);
        if (!reply) break;
        InFlight done = std::move(m_inFlight.front());
        m_inFlight.pop_front();
        if (done.wanted) ApplyRecord(done.row, done.account, *reply);
    }
    ReportProgress();
    return PendingRecords() > 0;
}

void MainWindowLogic::FillRow(UserRow& row) {
    const std::string account = row.Account();
    ApplyRecord(&row, account,
                m_transport.SendRequest(req::kGetUserBInfo, Param(key::kUsername, account)));
}

void MainWindowLogic::ApplyRecord(UserRow* row, const std::string& account,
                                  const std::string& reply) {
    int index = m_users.IndexOf(row, account);
    if (index < 0) return;  // the row went away while the reply was awaited
    // No reply at all says nothing about the record: keep what is shown.
    if (reply.empty()) return;
    UserRow& target = m_users.At(index);
    // No record: leave the fields empty.
    ApplyUserRecord(HasErrorPrefix(reply) ? std::string_view() : std::string_view(reply), target);
    m_observer->UserChanged(index);
}

void MainWindowLogic::DisownInFlight(const UserRow* row) {
    for (InFlight& flight : m_inFlight) {
        if (flight.row == row) flight.wanted = false;
    }
}

void MainWindowLogic::FillUserRow(const std::string& account, int row) {
    if (row < 0 || row >= m_users.Size() || m_users.At(row).Account() != account) return;
    UserRow* target = &m_users.At(row);
    auto queued = std::find(m_pending.begin(), m_pending.end(), target);
    bool wasQueued = queued != m_pending.end();
    if (wasQueued) m_pending.erase(queued);
    DisownInFlight(target);
    FillRow(*target);
    if (wasQueued) ReportProgress();
}

int MainWindowLogic::AddUserRow(const std::string& account) {
    int at = m_users.InsertPosition(account);
    m_observer->BeginInsertUser(at);
    m_users.Insert(account);
    m_observer->EndInsertUser();
    if (m_currentUserRow > at) ++m_currentUserRow;  // keep pointing at the same user
    return at;
}

void MainWindowLogic::SetUserCell(int row, int column, std::string value) {
    if (row < 0 || row >= m_users.Size() || column <= kColAccount || column >= kUserColumnCount) {
        return;
    }
    m_users.At(row).cells[static_cast<size_t>(column)] = std::move(value);
    m_observer->UserChanged(row);
}

void MainWindowLogic::RefreshUser(const std::string& account, int row) {
    FillUserRow(account, row);
    if (m_panel.account != account || row < 0 || row >= m_users.Size()) return;
    m_panel = PanelFromRow(m_users.At(row), GetUserRolesText(account));
    m_observer->PanelChanged();
}

bool MainWindowLogic::ClickUser(int row) {
    if (row < 0 || row >= m_users.Size()) {
        m_currentUserRow = 0;
        return false;
    }
    m_currentUserRow = row + 1;
    UserRow& target = m_users.At(row);
    if (!target.recordLoaded) FillUserRow(target.Account(), row);  // not reached yet: read it now
    std::string roles = GetUserRolesText(target.Account());
    m_panel = PanelFromRow(target, std::move(roles));
    m_observer->PanelChanged();
    return true;
}

int MainWindowLogic::TakeCurrentUserRow() {
    int row = m_currentUserRow;
    m_currentUserRow = 0;
    return row;
}

std::string MainWindowLogic::GetUserRolesText(const std::string& account) {
    std::string reply = m_transport.SendRequest(req::kGetUserRoles, Param(key::kUsername, account));
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return {};
    }
    std::replace(reply.begin(), reply.end(), '=', ';');
    return std::string(Trim(reply));
}

// --- commands --------------------------------------------------------------

void MainWindowLogic::DeleteCurrentUser() {
    int current = TakeCurrentUserRow();
    if (current == 0 || current > m_users.Size()) return;
    UserRow* target = &m_users.At(current - 1);
    const std::string account = target->Account();
    if (!m_sink.AskOkCancel(text::kCaptionConfirm, "确认要删除用户[" + account + "]么?")) return;

    std::string reply = m_transport.SendRequest(req::kUserDelete, Param(key::kUsername, account));
    // Without any reply nothing is known to be deleted; the transport has
    // already said why.
    if (reply.empty()) return;
    if (HasErrorPrefix(reply) && reply.find(text::kUserDoesNotExist) == std::string::npos) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kDeleteUserFailed);
        return;
    }
    m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionInfo, text::kDeleteUserDone);
    int index = m_users.IndexOf(target, account);
    if (index < 0) return;
    auto queued = std::find(m_pending.begin(), m_pending.end(), target);
    if (queued != m_pending.end()) {
        m_pending.erase(queued);
        --m_pendingTotal;
        ReportProgress();
    }
    DisownInFlight(target);
    m_observer->BeginRemoveUser(index);
    m_users.Remove(index);
    m_observer->EndRemoveUser();
    if (m_currentUserRow > index + 1) --m_currentUserRow;
    if (m_panel.account == account) {  // do not go on showing a user who is gone
        m_panel = UserPanel{};
        m_observer->PanelChanged();
    }
}

void MainWindowLogic::DeleteCurrentDept() {
    if (m_currentDeptPath.empty()) return;
    const std::string path = m_currentDeptPath;
    size_t slash = path.find('\\');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!m_sink.AskOkCancel(text::kCaptionConfirm, "要删除部门[" + name + "]么?")) return;
    // An assigned department of a second-level administrator is the top of
    // his tree: deleting it would change other administrators' trees too.
    if (!MayRestructure(path)) {
        m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                           text::kCannotDeleteTopDept);
        return;
    }
    std::string reply = m_transport.SendRequest(req::kDeptDelete, Param(key::kDeptIdLower, path));
    ShowReplyMessage(m_sink, reply);
    if (reply.empty() || reply.find("error") != std::string::npos) return;
    ReloadDeptTree();
    ClearUsers();
}

bool MainWindowLogic::ConfirmExit() {
    return m_sink.AskOkCancel(text::kCaptionConfirm, text::kConfirmExit);
}

}  // namespace warden::console

#include "console/core/MainWindowLogic.h"

#include <algorithm>

#include "console/core/ConsoleTexts.h"
#include "console/core/DeptTreeMerge.h"
#include "console/core/ReplyMessage.h"
#include "protocol/ParamKeys.h"
#include "protocol/Replies.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

namespace {

std::string Param(const char* key, std::string_view value) {
    std::string params(key);
    params.append("=").append(value);
    return params;
}

// "\A\B" of "\A\B\C"; "" for a top-level department.
std::string ParentPath(const std::string& path) {
    const std::string normal = NormalDeptPath(path);
    const size_t slash = normal.rfind('\\');
    return slash == std::string::npos ? std::string() : normal.substr(0, slash);
}

bool SamePath(std::string_view a, std::string_view b) {
    return EqualsNoCase(NormalDeptPath(a), NormalDeptPath(b));
}

// The child of `node` on the way to `path`: the deepest whose path covers it
// (a second-level administrator's top items are whole paths, which may lie
// one inside another); null for none.
DeptNode* ChildOnTheWay(const DeptNode& node, const std::string& path) {
    DeptNode* next = nullptr;
    for (const auto& child : node.children) {
        if (PathCovers(child->path, path) &&
            (next == nullptr ||
             NormalDeptPath(child->path).size() > NormalDeptPath(next->path).size())) {
            next = child.get();
        }
    }
    return next;
}

// Gives `node` and everything below it the paths under `path`.
void Repath(DeptNode& node, const std::string& path) {
    node.path = path;
    for (auto& child : node.children) Repath(*child, ChildPath(path, child->text));
}

}  // namespace

MainWindowLogic::MainWindowLogic(Transport& transport, MessageSink& sink, LoginState& login)
    : m_transport(transport), m_sink(sink), m_login(login) {}

void MainWindowLogic::SetObserver(MainWindowObserver* observer) {
    m_observer = observer != nullptr ? observer : &m_silent;
}

// --- department tree -------------------------------------------------------

bool MainWindowLogic::FetchChildDepts(const DeptNode& parent,
                                      std::vector<std::unique_ptr<DeptNode>>& fresh) {
    if (&parent == &m_root && !m_login.IsSuper()) {
        fresh = ManagedDeptNodes(m_login.managedDepts);
        return true;
    }
    std::string reply =
        m_transport.SendRequest(req::kGetChildDepts, Param(key::kDeptIdMixed, parent.path));
    // No reply says nothing about the children; the transport has said why.
    if (reply.empty()) return false;
    // A refusal is a message for the user, not a list of department names.
    if (HasErrorPrefix(reply)) {
        ShowReplyOrRightsChange(reply);
        return false;
    }
    fresh = ChildDeptNodes(parent.path, reply);
    return true;
}

bool MainWindowLogic::RefreshChildren(DeptNode& node) {
    std::vector<std::unique_ptr<DeptNode>> fresh;
    if (!FetchChildDepts(node, fresh)) return false;
    MergeDeptChildren(node, std::move(fresh), *m_observer);
    return true;
}

void MainWindowLogic::ReloadDeptTree() {
    RefreshChildren(m_root);
}

void MainWindowLogic::ClickDept(const DeptNode* selected) {
    m_currentDeptPath.clear();
    if (m_root.children.empty() || selected == nullptr) return;
    // The node belongs to this tree; the view only hands it back.
    DeptNode* node = const_cast<DeptNode*>(selected);
    m_currentDeptPath = node->path;
    const std::string path = node->path;
    if (!RefreshChildren(*node)) {
        // Refused (so its users would be too), or no reply: the list must
        // not go on showing another department's users. When his rights
        // changed, the tree and the list already follow them.
        if (m_currentDeptPath == path) ClearUsers();
        return;
    }
    LoadDeptUsers(path);
    if (const DeptNode* shown = FindDept(path)) m_observer->ExpandDept(*shown);
}

const DeptNode* MainWindowLogic::RevealUser(const std::string& path, const std::string& account) {
    DeptNode* node = Reveal(path);
    if (node == nullptr) return nullptr;
    m_observer->SelectDept(node);
    ClickDept(node);
    // The read may have found his rights changed and the tree rebuilt.
    if (m_currentDeptPath.empty()) return nullptr;
    for (int row = 0; row < m_users.Size(); ++row) {
        if (EqualsNoCase(m_users.At(row).Account(), account)) {
            ClickUser(row);
            break;
        }
    }
    return FindDept(path);
}

bool MainWindowLogic::SelectDeptForMenu(const DeptNode* selected) {
    m_currentDeptPath.clear();
    if (m_root.children.empty() || selected == nullptr) return false;
    m_currentDeptPath = selected->path;
    return true;
}

DeptNode* MainWindowLogic::FindDept(const std::string& path) {
    DeptNode* node = &m_root;
    while (node == &m_root || !SamePath(node->path, path)) {
        node = ChildOnTheWay(*node, path);
        if (node == nullptr) return nullptr;
    }
    return node;
}

DeptNode* MainWindowLogic::Reveal(const std::string& path) {
    if (NormalDeptPath(path).empty()) return nullptr;
    DeptNode* node = &m_root;
    for (;;) {
        if (node != &m_root && SamePath(node->path, path)) return node;
        DeptNode* next = ChildOnTheWay(*node, path);
        // Not read yet, or added since it was: read the children again.
        if (next == nullptr) {
            if (!RefreshChildren(*node)) return nullptr;
            next = ChildOnTheWay(*node, path);
        }
        if (next == nullptr) return nullptr;
        if (node != &m_root) m_observer->ExpandDept(*node);
        node = next;
    }
}

void MainWindowLogic::ShowDept(const std::string& path) {
    DeptNode* node = Reveal(path);
    m_observer->SelectDept(node);
    if (node != nullptr) {
        ClickDept(node);
        return;
    }
    m_currentDeptPath.clear();
    ClearUsers();
}

void MainWindowLogic::DeptAdded(const std::string& parentPath, const std::string& name) {
    DeptNode* parent = NormalDeptPath(parentPath).empty() ? &m_root : Reveal(parentPath);
    // A parent whose children were never read gets them all from Reveal.
    if (parent != nullptr && !parent->children.empty()) RefreshChildren(*parent);
    ShowDept(ChildPath(parentPath, name));
}

void MainWindowLogic::DeptChanged(const std::string& oldPath, const std::string& newPath) {
    const std::string oldParent = ParentPath(oldPath);
    const std::string newParent = ParentPath(newPath);
    DeptNode* node = FindDept(oldPath);
    if (node != nullptr && !SamePath(oldParent, newParent)) {
        DeptNode* from = node->parent;
        m_observer->BeginRemoveDeptChildren(*from, node->Row(), node->Row());
        from->children.erase(from->children.begin() + node->Row());
        m_observer->EndRemoveDeptChildren();
    } else if (node != nullptr) {
        // Renamed where it is: it keeps what was read below it.
        std::vector<std::string> names = SplitList(newPath, "\\");
        node->text = names.empty() ? std::string() : names.back();
        Repath(*node, NormalDeptPath(newPath));
        m_observer->DeptRenamed(*node);
    }
    DeptNode* parent = newParent.empty() ? &m_root : Reveal(newParent);
    if (parent != nullptr && !parent->children.empty()) RefreshChildren(*parent);
    ShowDept(newPath);
}

void MainWindowLogic::DeptsReordered(const std::string& parentPath) {
    DeptNode* parent = NormalDeptPath(parentPath).empty() ? &m_root : Reveal(parentPath);
    if (parent != nullptr) RefreshChildren(*parent);
}

bool MainWindowLogic::ShowReplyOrRightsChange(const std::string& reply) {
    if (FollowRightsChange(reply)) return true;
    ShowReplyMessage(m_sink, reply);
    return false;
}

bool MainWindowLogic::FollowRightsChange(const std::string& reply) {
    if (m_login.IsSuper() || Trim(reply) != reply::kNotPermitted) return false;
    std::string depts = m_transport.SendRequest(req::kQueryUserAdminDepts,
                                                Param(key::kUsername, m_login.loginName));
    const std::string now = ManagedDeptsOf(depts);
    // The same departments: a plain refusal (another administrator's
    // account, a user with a department outside his).
    if (depts.empty() || HasErrorPrefix(depts) || now == m_login.managedDepts) return false;
    m_login.managedDepts = now;
    m_sink.ShowMessage(MessageIcon::kInformation, text::kCaptionHint,
                       now.empty() ? text::kRightsWithdrawn : text::kRightsChanged);
    m_currentDeptPath.clear();
    m_observer->SelectDept(nullptr);
    ClearUsers();
    RefreshChildren(m_root);
    return true;
}

// --- user list -------------------------------------------------------------

void MainWindowLogic::ClearUsers() {
    AbandonPendingRecords();
    m_observer->BeginUsersReset();
    m_users.Clear();
    m_currentUserRow = 0;
    m_observer->EndUsersReset();
    ClearPanel();
}

void MainWindowLogic::ClearPanel() {
    if (m_panel.account.empty()) return;
    m_panel = UserPanel{};
    m_observer->PanelChanged();
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
        ShowReplyOrRightsChange(reply);
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
        if (m_transport.PostRequest(req::kGetUserBInfo, RecordParams(row->Account()))) {
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
    ApplyRecord(&row, account, m_transport.SendRequest(req::kGetUserBInfo, RecordParams(account)));
}

std::string MainWindowLogic::RecordParams(const std::string& account) const {
    // Asked of a second-level administrator's server: whether the account is
    // one he may not touch. An older server leaves the mark out.
    std::string params = Param(key::kUsername, account);
    if (!m_login.IsSuper()) params += "`" + Param(key::kProtected, "1");
    return params;
}

void MainWindowLogic::ApplyRecord(UserRow* row, const std::string& account,
                                  const std::string& reply) {
    int index = m_users.IndexOf(row, account);
    if (index < 0) return;  // the row went away while the reply was awaited
    // No reply at all says nothing about the record: keep what is shown.
    if (reply.empty()) return;
    // Refused: his rights changed, and the list is already gone.
    if (HasErrorPrefix(reply) && FollowRightsChange(reply)) return;
    UserRow& target = m_users.At(index);
    // No record: leave the fields empty, without a message for each of
    // perhaps thousands of rows.
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
    UserRow* target = &m_users.At(row);
    const std::string account = target->Account();
    if (!target->recordLoaded) FillUserRow(account, row);  // not reached yet: read it now
    std::string roles = GetUserRolesText(account);
    // Either read may have found his rights changed and emptied the list.
    const int index = m_users.IndexOf(target, account);
    if (index < 0) {
        m_currentUserRow = 0;
        return false;
    }
    m_panel = PanelFromRow(*target, std::move(roles));
    m_observer->PanelChanged();
    return true;
}

bool MainWindowLogic::MayChangeUser(int row) const {
    if (row < 0 || row >= m_users.Size()) return false;
    if (m_login.IsSuper()) return true;
    return !m_users.At(row).isProtected;
}

int MainWindowLogic::TakeCurrentUserRow() {
    int row = m_currentUserRow;
    m_currentUserRow = 0;
    return row;
}

std::string MainWindowLogic::GetUserRolesText(const std::string& account) {
    std::string reply = m_transport.SendRequest(req::kGetUserRoles, Param(key::kUsername, account));
    if (HasErrorPrefix(reply)) {
        ShowReplyOrRightsChange(reply);
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
        // The server's own words: a refusal says why, which "failed" did not.
        ShowReplyOrRightsChange(reply);
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
    if (m_panel.account == account) ClearPanel();  // do not go on showing a user who is gone
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
    if (reply.empty()) return;
    if (reply.find("error") != std::string::npos) {
        ShowReplyOrRightsChange(reply);
        return;
    }
    ShowReplyMessage(m_sink, reply);
    // Its parent, read again, becomes the current department.
    const std::string parentPath = ParentPath(path);
    DeptNode* parent = parentPath.empty() ? &m_root : Reveal(parentPath);
    if (parent != nullptr) RefreshChildren(*parent);
    ShowDept(parentPath);
}

bool MainWindowLogic::ConfirmExit() {
    return m_sink.AskOkCancel(text::kCaptionConfirm, text::kConfirmExit);
}

}  // namespace warden::console

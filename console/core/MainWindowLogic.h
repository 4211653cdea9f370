// The behaviour of the main window "分级权限管理(Socket)": the department
// tree, the user list and its panel, deleting users and departments, and the
// exit question. Widgets bind to it; tests drive it with a fake transport.
//
// A department's accounts are listed at once; their records (one request
// each) are then read by FillNextRecord, which the window calls from its
// event loop, so a large department never freezes the window and a click
// elsewhere abandons what is left. As many record requests are kept in flight
// as the transport's pipeline window allows (one on the plain port), so the
// records of a large department cost one round trip per window, not per
// user.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <deque>
#include <string>

#include "console/core/DeptScope.h"
#include "console/core/DeptTree.h"
#include "console/core/LoginState.h"
#include "console/core/MainWindowObserver.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/core/UserList.h"
#include "console/core/UserPanel.h"

namespace warden::console {

class MainWindowLogic {
  public:
    // REQUIRES: every reference outlives this object.
    MainWindowLogic(Transport& transport, MessageSink& sink, const LoginState& login);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // REQUIRES: `observer` outlives this object or is reset to null first.
    void SetObserver(MainWindowObserver* observer);

    const LoginState& Login() const { return m_login; }

    // --- department tree ---------------------------------------------------
    // The invisible root; its children are the top-level items.
    const DeptNode& TreeRoot() const { return m_root; }
    // Rebuilds the whole tree: the top level of the directory for the super
    // administrator, the managed departments for a second-level one.
    void ReloadDeptTree();
    // A left click in the tree; `selected` is the selected item afterwards
    // (null for none). Reloads its children and its users and expands it.
    void ClickDept(const DeptNode* selected);
    // Opens the department at `path` as clicks on it and on each ancestor
    // would, and makes `account` the current user of its list. Returns the
    // department's node; null when the tree does not reach it (a department
    // outside what the tree shows, or gone).
    const DeptNode* RevealUser(const std::string& path, const std::string& account);
    // A right click; true when the department menu should be shown.
    bool SelectDeptForMenu(const DeptNode* selected);
    // The full path of the department last clicked; empty for none.
    const std::string& CurrentDeptPath() const { return m_currentDeptPath; }
    // Whether `path` may be renamed, moved, reordered or deleted by the
    // logged-in administrator: for a second-level one only what lies below
    // his assigned departments (see DeptScope).
    bool MayRestructure(const std::string& path) const {
        return DeptScope(m_login).StrictlyInside(path);
    }

    // --- user list ---------------------------------------------------------
    const UserList& Users() const { return m_users; }
    // Lists the users of `path` at once; their records follow through
    // FillNextRecord.
    void LoadDeptUsers(const std::string& path);
    // Sends record requests until the transport's pipeline window is full,
    // then puts in their rows the records that have come, waiting at most
    // `waitMs` for the first. Returns whether any remain. Does nothing while
    // the transport is busy. The window's requests are the only ones posted
    // on the transport (see Transport::AbandonPosted).
    bool FillNextRecord(int waitMs = 0);
    // Records not yet in their rows: still to ask for, or asked for.
    int PendingRecords() const { return static_cast<int>(m_pending.size() + m_inFlight.size()); }
    // Refetches one user's record into row `row` (whose account is `account`).
    void FillUserRow(const std::string& account, int row);
    // Inserts a row for `account` in order and returns its index (the user
    // editor adds a user this way, then calls FillUserRow).
    int AddUserRow(const std::string& account);
    // Changes one shown field of a row. REQUIRES: column != kColAccount.
    void SetUserCell(int row, int column, std::string value);
    // After `account` was changed elsewhere: rereads row `row` (whose account
    // is `account`) and, when the panel shows him, the panel with his roles.
    void RefreshUser(const std::string& account, int row);

    // A click in the list on `row` (-1 for none): sets the current user row
    // and fills the panel. Returns whether a row is current.
    bool ClickUser(int row);
    // The current user row plus one; 0 when none.
    int CurrentUserRow() const { return m_currentUserRow; }
    // Returns the current user row (plus one, 0 for none) and clears it:
    // deleting, "设为管理员" and the user editor each use up the click.
    int TakeCurrentUserRow();
    const UserPanel& Panel() const { return m_panel; }
    // The roles of `account` from "GetUserRoles.asp", "=" shown as ";".
    std::string GetUserRolesText(const std::string& account);

    // --- commands ----------------------------------------------------------
    void DeleteCurrentUser();
    void DeleteCurrentDept();
    // Asks "确定要退出么?"; true when the window may close.
    bool ConfirmExit();

  private:
    // Requests the children of `parentPath`; an "error:" reply is shown and
    // gives none.
    std::vector<std::unique_ptr<DeptNode>> FetchChildDepts(const std::string& parentPath);
    // Replaces the children of `node` with the server's list.
    void ReloadChildren(DeptNode& node);
    void ClearUsers();
    void ReportProgress();
    void AbandonPendingRecords();
    void FillRow(UserRow& row);
    // Puts `reply` (a "GetUserBInfo.asp" reply, or none) in `row`, whose
    // account is `account`, if the row is still there.
    void ApplyRecord(UserRow* row, const std::string& account, const std::string& reply);
    // A record asked for earlier must not overwrite what is read about
    // `row` now: its reply is dropped when it comes.
    void DisownInFlight(const UserRow* row);

    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
    MainWindowObserver m_silent;
    MainWindowObserver* m_observer = &m_silent;

    DeptNode m_root;
    std::string m_currentDeptPath;

    UserList m_users;
    std::deque<UserRow*> m_pending;  // rows whose record is still to be asked for
    // Record requests posted on the transport, in the order of their replies.
    struct InFlight {
        UserRow* row;  // compared, never read: the row may have gone meanwhile
        std::string account;
        bool wanted = true;
    };
    std::deque<InFlight> m_inFlight;
    int m_pendingTotal = 0;
    int m_currentUserRow = 0;
    UserPanel m_panel;
};

}  // namespace warden::console

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
// The tree is changed in place, never rebuilt, so what the administrator
// opened stays open: a department that was added, renamed or moved is shown
// where it now is, and becomes the current one.
//
// A second-level administrator's rights are read at his login; when the
// super administrator changes them meanwhile, the first refusal tells him so
// once, and the tree follows his new departments.
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
    // REQUIRES: every reference outlives this object. The logic updates
    // `login`'s departments when the administrator's rights change.
    MainWindowLogic(Transport& transport, MessageSink& sink, LoginState& login);
    MainWindowLogic(const MainWindowLogic&) = delete;
    MainWindowLogic& operator=(const MainWindowLogic&) = delete;

    // REQUIRES: `observer` outlives this object or is reset to null first.
    void SetObserver(MainWindowObserver* observer);

    const LoginState& Login() const { return m_login; }

    // --- department tree ---------------------------------------------------
    // The invisible root; its children are the top-level items.
    const DeptNode& TreeRoot() const { return m_root; }
    // Reads the top level again: the directory's for the super
    // administrator, the managed departments for a second-level one.
    void ReloadDeptTree();
    // A department was chosen in the tree (null for none): reads its
    // children and its users and expands it.
    void ClickDept(const DeptNode* selected);
    // Opens the department at `path` as clicks on it and on each ancestor
    // would, and makes `account` the current user of its list. Returns the
    // department's node; null when the tree does not reach it (a department
    // outside what the tree shows, or gone).
    const DeptNode* RevealUser(const std::string& path, const std::string& account);
    // A right click; true when the department menu should be shown.
    bool SelectDeptForMenu(const DeptNode* selected);
    // The full path of the department last chosen; empty for none.
    const std::string& CurrentDeptPath() const { return m_currentDeptPath; }
    // Whether `path` may be renamed, moved, reordered or deleted by the
    // logged-in administrator: for a second-level one only what lies below
    // his assigned departments (see DeptScope).
    bool MayRestructure(const std::string& path) const {
        return DeptScope(m_login).StrictlyInside(path);
    }

    // After a dialog changed the directory: the departments concerned are
    // read again in place, and the one added or changed becomes current.
    void DeptAdded(const std::string& parentPath, const std::string& name);
    // `newPath` is where `oldPath` now is (renamed, moved, or both).
    void DeptChanged(const std::string& oldPath, const std::string& newPath);
    void DeptsReordered(const std::string& parentPath);

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
    // Whether the logged-in administrator may change or delete the user of
    // `row`: a second-level administrator may not touch another
    // administrator's account (the server marks those), nor the super
    // administrator's.
    bool MayChangeUser(int row) const;
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
    // Requests the children of `parent`. A refusal or an error is shown and
    // gives false; the children are then left as they are.
    bool FetchChildDepts(const DeptNode& parent, std::vector<std::unique_ptr<DeptNode>>& fresh);
    // Reads the children of `node` again, in place.
    bool RefreshChildren(DeptNode& node);
    // The item of `path` among those read so far; null for none.
    DeptNode* FindDept(const std::string& path);
    // The item of `path`, with its ancestors' children read where they were
    // not yet and the ancestors expanded; null when it is not (or no longer)
    // in the directory.
    DeptNode* Reveal(const std::string& path);
    // Makes the item of `path` the current department, as a click would.
    void ShowDept(const std::string& path);
    // After the refusal `reply`: when this (second-level) administrator's
    // departments have changed since his login, says so once, and his tree
    // and list follow the new rights. Returns whether they had changed.
    bool FollowRightsChange(const std::string& reply);
    // Shows `reply`'s text, unless FollowRightsChange took it. Returns
    // whether it did.
    bool ShowReplyOrRightsChange(const std::string& reply);

    void ClearUsers();
    void ClearPanel();
    void ReportProgress();
    void AbandonPendingRecords();
    void FillRow(UserRow& row);
    // The parameters of "GetUserBInfo.asp" for `account`.
    std::string RecordParams(const std::string& account) const;
    // Puts `reply` (a "GetUserBInfo.asp" reply, or none) in `row`, whose
    // account is `account`, if the row is still there.
    void ApplyRecord(UserRow* row, const std::string& account, const std::string& reply);
    // A record asked for earlier must not overwrite what is read about
    // `row` now: its reply is dropped when it comes.
    void DisownInFlight(const UserRow* row);

    Transport& m_transport;
    MessageSink& m_sink;
    LoginState& m_login;
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

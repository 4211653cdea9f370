// What the main window's logic tells its view. Structural changes come in
// begin/end pairs, as item models need them; no request is ever sent between
// a Begin and its End, so a repaint during a wait always sees a whole model.
// The tree changes row by row (never reset), so the view keeps what is
// expanded and selected.
//
// Thread-safety: none; called on the user-interface thread.
#pragma once

namespace warden::console {

struct DeptNode;

class MainWindowObserver {
  public:
    virtual ~MainWindowObserver() = default;

    virtual void BeginRemoveDeptChildren(const DeptNode& /*parent*/, int /*first*/, int /*last*/) {}
    virtual void EndRemoveDeptChildren() {}
    virtual void BeginInsertDeptChildren(const DeptNode& /*parent*/, int /*first*/, int /*last*/) {}
    virtual void EndInsertDeptChildren() {}
    // Child `from` of `parent` moves to index `to` (counted before the move).
    virtual void BeginMoveDeptChild(const DeptNode& /*parent*/, int /*from*/, int /*to*/) {}
    virtual void EndMoveDeptChild() {}
    // The node's name changed.
    virtual void DeptRenamed(const DeptNode& /*node*/) {}
    virtual void ExpandDept(const DeptNode& /*node*/) {}
    // The department whose users the list shows is now `node` (null: none);
    // the view highlights it without asking for it again.
    virtual void SelectDept(const DeptNode* /*node*/) {}

    virtual void BeginUsersReset() {}
    virtual void EndUsersReset() {}
    virtual void BeginInsertUser(int /*row*/) {}
    virtual void EndInsertUser() {}
    virtual void BeginRemoveUser(int /*row*/) {}
    virtual void EndRemoveUser() {}
    virtual void UserChanged(int /*row*/) {}

    // Records of the shown department: `done` of `total` read. Called with
    // done == total when the last arrives or the rest is abandoned.
    virtual void RecordProgress(int /*done*/, int /*total*/) {}

    // The user information panel has new content.
    virtual void PanelChanged() {}
};

}  // namespace warden::console

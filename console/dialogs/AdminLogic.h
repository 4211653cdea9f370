// The behaviour of the second-level administrator list "分级管理员管理" and
// of the administrator editor ("添加分级管理员" / "修改分级管理员"), which sets
// the departments an administrator manages and the roles he may hand out.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/dialogs/DeptPicker.h"
#include "console/dialogs/SortedNames.h"

namespace warden::console {

// What the administrator list shows of an administrator beside his account.
struct AdminOverview {
    std::string name;   // in the directory; empty when he has no account there
    std::string depts;  // the departments he manages, "; " between them
    std::string roles;  // the roles he may hand out, "、" between them
    bool operator==(const AdminOverview&) const = default;
};

class AdminListLogic {
  public:
    // REQUIRES: every reference outlives this object.
    AdminListLogic(Transport& transport, MessageSink& sink);

    // Lists the second-level administrators, each with his overview.
    void Open();

    const SortedNames& Admins() const { return m_admins; }
    const SortedNames& Depts() const { return m_depts; }
    // A new selection in "管理员列表" (-1 for none): shows its departments.
    void SelectAdmin(int index);
    // "删除管理员", after a confirmation.
    void DeleteSelected();
    // The administrator "修改管理员" edits; empty without a selection.
    std::string SelectedAdmin() const;
    // The overview of `account` (empty fields when the server could not tell).
    AdminOverview Overview(const std::string& account) const;

    // Called by the editor after a successful save.
    void AdminSaved(const std::string& name, bool added, const SortedNames& depts);

  private:
    // Asks the server for the overviews of `accounts`, all at once.
    void LoadOverviews(const std::vector<std::string>& accounts);

    Transport& m_transport;
    MessageSink& m_sink;
    SortedNames m_admins;
    SortedNames m_depts;
    std::map<std::string, AdminOverview> m_overviews;
};

enum class AdminSaveOutcome { kStayOpen, kClose };

class AdminEditorLogic {
  public:
    // `name` is the account to edit (empty for a new one); `update` is the
    // mode "UPDATE"; `owner` the list that opened the editor, if any;
    // `presetDept` the main window's current department for "设为管理员".
    // REQUIRES: every reference (and `owner`, when given) outlives this object.
    AdminEditorLogic(Transport& transport, MessageSink& sink, const LoginState& login,
                     std::string name, bool update, AdminListLogic* owner, std::string presetDept);

    // Reads the administrator's departments and roles, builds the tree and
    // the roles that can be handed out. Opened for an account that already is
    // a second-level administrator ("设为管理员" on him), the editor works in
    // update mode, so that saving keeps his departments and roles. Returns
    // true when the managed list is to get the focus (the preset department
    // conflicted).
    bool Open();

    // Title and name box follow the mode, which Open() may change.
    const char* Title() const;
    const std::string& Name() const { return m_name; }
    // Only "添加管理员" lets the account be typed: where it was chosen (a
    // user row, an administrator of the list) it is saved as chosen.
    bool NameEditable() const { return !m_update && m_name.empty(); }

    DeptPicker& Tree() { return m_tree; }
    void ClickTree(const DeptNode* selected);
    const std::string& ChosenDept() const { return m_chosenDept; }

    const SortedNames& Managed() const { return m_managed; }
    void SelectManaged(int index) { m_managed.Select(index); }
    // "添加(&A) >>" for departments. Returns true when the managed list is
    // to get the focus (a conflict was reported and its entry selected).
    bool AddChosenDept();
    // "<< 删除(&D)" for departments.
    void RemoveSelectedDept() { m_managed.RemoveAt(m_managed.Selected()); }
    // The Delete key in the managed list: removes the selection and selects
    // what then stands at its place.
    void DeleteKey();

    // The roles that can still be handed out (those given are not offered
    // twice) and the roles given.
    const SortedNames& Available() const { return m_available; }
    const SortedNames& Given() const { return m_given; }
    void SelectAvailable(int index) { m_available.Select(index); }
    void SelectGiven(int index) { m_given.Select(index); }
    // "添加(&A) >>" for roles: the role moves to the right.
    void GiveSelectedRole();
    // "<< 删除(&D)" for roles: a role that can be handed out goes back left.
    void RemoveSelectedRole();

    // "保存(&S)" with the name box's text (used only while NameEditable()).
    // A new administrator is never saved over an existing one, whichever
    // way the editor was opened: that would replace his departments and
    // roles.
    AdminSaveOutcome Save(const std::string& typedName);

  private:
    // Whether the server lists `name` as a second-level administrator;
    // nullopt when its list could not be read (with `reportFailure`, after
    // saying so).
    std::optional<bool> IsListedAdmin(const std::string& name, bool reportFailure);
    // The first managed entry that is `candidate`, an ancestor or a
    // descendant of it (by whole names, as the server compares them); -1
    // for none.
    int FindConflict(const std::string& candidate) const;

    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
    std::string m_name;
    bool m_update;
    AdminListLogic* m_owner;
    std::string m_presetDept;
    std::string m_password;
    DeptPicker m_tree;
    std::string m_chosenDept;
    SortedNames m_managed;
    SortedNames m_assignable;  // every role the sender may hand out
    SortedNames m_available;   // m_assignable without the given ones
    SortedNames m_given;
};

}  // namespace warden::console

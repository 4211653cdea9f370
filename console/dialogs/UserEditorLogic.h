// The behaviour of the user editor ("添加用户" / "修改用户信息"): adds a user
// to the directory or changes the one of the main window's current row,
// with his departments, picked from a department tree, and his roles.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "console/core/MainWindowLogic.h"
#include "console/dialogs/DeptPicker.h"
#include "console/dialogs/SortedNames.h"

namespace warden::console {

enum class UserEditorMode { kAdd, kUpdate };

// The editor's input boxes. Gender and level are the texts of the selected
// entries of their lists, empty for none.
struct UserForm {
    std::string account;
    std::string password;
    std::string name;
    std::string level;
    std::string gender;
    std::string position;
    std::string mobile;
    std::string phone;
    std::string email;
    std::string roles;  // role names, each followed by ";"
};

enum class UserSubmitOutcome {
    kStayOpen,
    kFocusAccount,
    kSubmitted,  // added: the form is to be refilled from Form(), personal fields emptied
    kClose,      // updated: the main window shows the new record; the editor closes
};

class UserEditorLogic {
  public:
    // `presetDept` is the main window's current department; `initialRoles`
    // the text of its panel's "角色:" box (update mode only).
    // REQUIRES: every reference outlives this object.
    UserEditorLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window,
                    UserEditorMode mode, std::string presetDept, std::string initialRoles);

    // Fills the form: in update mode from the main window's current user row,
    // which the editor takes, and the user's departments from the server.
    // Builds the department tree.
    void Open();

    UserEditorMode Mode() const { return m_mode; }
    const char* Title() const;
    bool AccountReadOnly() const { return m_mode == UserEditorMode::kUpdate; }
    // "*密码为空时，不对原密码进行修改*" is shown only in update mode while the
    // password box has the focus.
    bool ShowsPasswordNote(bool passwordFocused) const {
        return passwordFocused && m_mode == UserEditorMode::kUpdate;
    }
    // The user also has departments outside the second-level
    // administrator's scope: his password and name stay as they are, as the
    // server refuses to change them (update mode).
    bool PartlyOutside() const { return m_partlyOutside; }
    // "0" to "49".
    static const std::vector<std::string>& Levels();

    const UserForm& Form() const { return m_form; }
    // The whole "GetUserDepts.asp" reply of the opening (update mode).
    const std::string& DeptsAtOpening() const { return m_deptsAtOpening; }

    DeptPicker& Tree() { return m_tree; }
    // A click in the tree; `selected` is the selected item afterwards.
    void ClickTree(const DeptNode* selected);
    const std::string& ChosenDept() const { return m_chosenDept; }

    // The "部门:" list.
    const SortedNames& Depts() const { return m_depts; }
    void SelectDept(int index) { m_depts.Select(index); }
    // "添加部门": the chosen tree department, with a trailing "\".
    void AddChosenDept();
    // "删除部门": the selected entry.
    void RemoveSelectedDept() { m_depts.RemoveAt(m_depts.Selected()); }

    // "提交" with what the boxes hold now. Text the wire cannot carry, or
    // longer than its field allows, is refused before anything is sent.
    UserSubmitOutcome Submit(const UserForm& typed);

  private:
    void FillFromCurrentRow();
    void LoadUserDepts();
    bool CheckTyped(const UserForm& sent);
    void UpdateEditedRow(const UserForm& sent);

    Transport& m_transport;
    MessageSink& m_sink;
    MainWindowLogic& m_window;
    UserEditorMode m_mode;
    std::string m_presetDept;
    UserForm m_form;
    DeptPicker m_tree;
    std::string m_chosenDept;
    SortedNames m_depts;
    std::string m_deptsAtOpening;
    bool m_partlyOutside = false;
    const UserRow* m_editedRow = nullptr;  // compared only, never read after the opening
    std::string m_editedAccount;
};

}  // namespace warden::console

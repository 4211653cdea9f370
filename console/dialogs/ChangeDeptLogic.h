// The behaviour of the dialog "修改部门": renames the main window's current
// department and, when a department is chosen in the dialog's own tree,
// moves it under that one. The tree never offers the department itself or
// anything below it, and has no top-level item: a department cannot be
// moved to the top level here.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>

#include "console/core/MainWindowLogic.h"
#include "console/dialogs/DeptPicker.h"

namespace warden::console {

enum class ChangeDeptOutcome { kStayOpen, kFocusName, kClose };

class ChangeDeptLogic {
  public:
    // REQUIRES: every reference outlives this object.
    ChangeDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window);

    // Takes the main window's current department and builds the tree. With
    // no current department, or one the administrator may not restructure,
    // nothing is shown and nothing can be changed.
    void Open();

    // The department being changed ("\A\B"), and what the name box starts with.
    const std::string& OldPath() const { return m_oldPath; }
    const std::string& OldName() const { return m_oldName; }
    DeptPicker& Tree() { return m_tree; }

    // "提交" with the name box's text and the item selected in the tree
    // (null for none). With neither changed, says so and sends nothing.
    // REQUIRES: `parent` is null or a node of Tree().
    ChangeDeptOutcome Submit(const std::string& name, const DeptNode* parent);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    MainWindowLogic& m_window;
    DeptPicker m_tree;
    std::string m_oldPath;
    std::string m_oldName;
};

}  // namespace warden::console

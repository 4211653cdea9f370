// The behaviour of the dialog "添加部门": a new department under the parent
// that the main window's current department gives, or at the top level for
// the super administrator. The dialog stays open for further additions.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>

#include "console/core/MainWindowLogic.h"

namespace warden::console {

class AddDeptLogic {
  public:
    // Takes the main window's current department as the parent.
    // REQUIRES: every reference outlives this object.
    AddDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window);

    // What the "父部门:" label shows; empty means the top level.
    const std::string& Parent() const { return m_parent; }

    // "清除父部门": only the super administrator may add at the top level.
    void ClearParent();

    // "添加" with the text of the name box. Returns true when the name box
    // is to be emptied (the department was added).
    bool Add(const std::string& name);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    MainWindowLogic& m_window;
    std::string m_parent;
};

}  // namespace warden::console

// The behaviour of the dialog "修改部门位置": puts a department after all its
// siblings or before a chosen one.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "console/core/MainWindowLogic.h"

namespace warden::console {

class OrderDeptLogic {
  public:
    // `path` is the department to place ("\A\B").
    // REQUIRES: every reference outlives this object.
    OrderDeptLogic(Transport& transport, MessageSink& sink, MainWindowLogic& window,
                   std::string path);

    // Reads the siblings. A department without siblings is reported and
    // cannot be submitted; so is one that the administrator may not reorder
    // (an assigned department of a second-level administrator).
    void Open();

    const std::string& Name() const { return m_name; }
    // "\A\" for "\A\B"; "\" for a top-level department.
    const std::string& ParentPrefix() const { return m_prefix; }
    // The other departments of the same parent, in the directory's order.
    const std::vector<std::string>& Siblings() const { return m_siblings; }
    // The entry of Siblings() selected at first; -1 for none.
    int InitialChoice() const { return m_initialChoice; }
    bool CanSubmit() const { return m_canSubmit; }

    // "提交(&S)": after all siblings when `last`, otherwise before the sibling
    // `chosen` (the drop-down list's text). Returns whether the dialog closes.
    bool Submit(bool last, const std::string& chosen);

  private:
    Transport& m_transport;
    MessageSink& m_sink;
    MainWindowLogic& m_window;
    std::string m_path;
    std::string m_name;
    std::string m_prefix;
    std::vector<std::string> m_siblings;
    std::string m_lastSibling;
    int m_initialChoice = -1;
    bool m_canSubmit = false;
};

}  // namespace warden::console

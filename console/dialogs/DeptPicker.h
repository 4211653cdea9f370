// The department tree inside a dialog (change department, user editor,
// administrator editor): built like the main window's tree, but a
// department's children are read once, on its first click, and one
// department with everything below it can be kept out of the tree. Every
// item keeps its own full path, so the tree has no size limit.
//
// Thread-safety: none; used on the user-interface thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "console/core/DeptTree.h"
#include "console/core/LoginState.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"

namespace warden::console {

// What the picker tells its view; structural changes come in begin/end
// pairs and no request is sent between the two.
class DeptPickerObserver {
  public:
    virtual ~DeptPickerObserver() = default;
    virtual void BeginTreeReset() {}
    virtual void EndTreeReset() {}
    virtual void BeginAppendDeptChildren(const DeptNode& /*parent*/, int /*first*/, int /*last*/) {}
    virtual void EndAppendDeptChildren() {}
    virtual void ExpandDept(const DeptNode& /*node*/) {}
};

class DeptPicker {
  public:
    // REQUIRES: every reference outlives this object.
    DeptPicker(Transport& transport, MessageSink& sink, const LoginState& login);
    DeptPicker(const DeptPicker&) = delete;
    DeptPicker& operator=(const DeptPicker&) = delete;

    // REQUIRES: `observer` outlives this object or is reset to null first.
    void SetObserver(DeptPickerObserver* observer);

    // Keeps the department `path`, and so everything below it, out of the
    // tree from the next Rebuild on. Empty keeps nothing out.
    void SetExcluded(std::string path) { m_excluded = std::move(path); }

    const DeptNode& Root() const { return m_root; }

    // Empties the tree and loads its top level: the directory's top-level
    // departments for the super administrator, the managed departments
    // (without a request) for a second-level one.
    void Rebuild();

    // A click in the tree; `selected` is the selected item afterwards (null
    // for none). Loads its children when it has none yet, expands it and
    // returns its path; returns "" when nothing is selected.
    // REQUIRES: `selected` is null or a node of this tree.
    std::string Click(const DeptNode* selected);

  private:
    bool IsExcluded(const std::string& path) const;
    std::vector<std::unique_ptr<DeptNode>> FetchChildren(const std::string& parentPath);

    Transport& m_transport;
    MessageSink& m_sink;
    const LoginState& m_login;
    DeptPickerObserver m_silent;
    DeptPickerObserver* m_observer = &m_silent;
    std::string m_excluded;
    DeptNode m_root;
};

}  // namespace warden::console

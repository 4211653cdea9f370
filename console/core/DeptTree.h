// The department tree as the main window holds it: every item keeps its own
// text and full department path, so nothing limits how many items a tree may
// hold between two reloads.
//
// Thread-safety: none; owned by one window.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace warden::console {

struct DeptNode {
    std::string text;  // what the tree shows
    std::string path;  // "\A\B": what requests send as the department
    DeptNode* parent = nullptr;
    std::vector<std::unique_ptr<DeptNode>> children;

    // This node's index among its parent's children.
    // REQUIRES: parent != nullptr.
    int Row() const;
};

// The path of child `name` under the department `parentPath` ("" is the top).
std::string ChildPath(const std::string& parentPath, const std::string& name);

// The managed departments text ("\\A\\B;\\C;") of a
// "QueryUserAdminDepts.asp" reply: what follows its first "|" (the whole
// reply without one), trimmed; empty for an account without departments.
std::string ManagedDeptsOf(std::string_view reply);

// Top-level items of a second-level administrator: one per entry of the
// managed departments text ("\A\B;\C;"), shown without its leading
// backslash, keeping the entry unchanged as its path.
std::vector<std::unique_ptr<DeptNode>> ManagedDeptNodes(const std::string& managedDepts);

// Nodes for the names of a "GetChildDepts.asp" reply under `parentPath`.
std::vector<std::unique_ptr<DeptNode>> ChildDeptNodes(const std::string& parentPath,
                                                      const std::string& reply);

}  // namespace warden::console

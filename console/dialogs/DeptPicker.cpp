#include "console/dialogs/DeptPicker.h"

#include <algorithm>

#include "console/core/ReplyMessage.h"
#include "console/dialogs/RequestParams.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"

namespace warden::console {

DeptPicker::DeptPicker(Transport& transport, MessageSink& sink, const LoginState& login)
    : m_transport(transport), m_sink(sink), m_login(login) {}

void DeptPicker::SetObserver(DeptPickerObserver* observer) {
    m_observer = observer != nullptr ? observer : &m_silent;
}

bool DeptPicker::IsExcluded(const std::string& path) const {
    if (m_excluded.empty()) return false;
    return path == m_excluded ||
           (path.size() > m_excluded.size() &&
            path.compare(0, m_excluded.size(), m_excluded) == 0 && path[m_excluded.size()] == '\\');
}

std::vector<std::unique_ptr<DeptNode>> DeptPicker::FetchChildren(const std::string& parentPath) {
    std::string reply = m_transport.SendRequest(req::kGetChildDepts,
                                                ComposeParams({{key::kDeptIdMixed, parentPath}}));
    // A refusal is a message for the user, not a list of department names.
    if (HasErrorPrefix(reply)) {
        ShowReplyMessage(m_sink, reply);
        return {};
    }
    return ChildDeptNodes(parentPath, reply);
}

void DeptPicker::Rebuild() {
    std::vector<std::unique_ptr<DeptNode>> top =
        m_login.IsSuper() ? FetchChildren("") : ManagedDeptNodes(m_login.managedDepts);
    std::erase_if(top, [this](const auto& node) { return IsExcluded(node->path); });
    m_observer->BeginTreeReset();
    m_root.children = std::move(top);
    for (auto& child : m_root.children) child->parent = &m_root;
    m_observer->EndTreeReset();
}

std::string DeptPicker::Click(const DeptNode* selected) {
    if (m_root.children.empty() || selected == nullptr) return {};
    // The node belongs to this tree; the view only hands it back.
    DeptNode* node = const_cast<DeptNode*>(selected);
    const std::string path = node->path;
    if (node->children.empty()) {
        std::vector<std::unique_ptr<DeptNode>> children = FetchChildren(path);
        std::erase_if(children, [this](const auto& child) { return IsExcluded(child->path); });
        if (!children.empty()) {
            m_observer->BeginAppendDeptChildren(*node, 0, static_cast<int>(children.size()) - 1);
            node->children = std::move(children);
            for (auto& child : node->children) child->parent = node;
            m_observer->EndAppendDeptChildren();
        }
    }
    m_observer->ExpandDept(*node);
    return path;
}

}  // namespace warden::console

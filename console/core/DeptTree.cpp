#include "console/core/DeptTree.h"

#include "protocol/SplitList.h"

namespace warden::console {

int DeptNode::Row() const {
    const auto& siblings = parent->children;
    for (size_t i = 0; i < siblings.size(); ++i) {
        if (siblings[i].get() == this) return static_cast<int>(i);
    }
    return -1;
}

std::string ChildPath(const std::string& parentPath, const std::string& name) {
    return parentPath + "\\" + name;
}

std::string ManagedDeptsOf(std::string_view reply) {
    const std::string_view text = Trim(reply);
    const size_t bar = text.find('|');
    return std::string(bar == std::string_view::npos ? text : Trim(text.substr(bar + 1)));
}

std::vector<std::unique_ptr<DeptNode>> ManagedDeptNodes(const std::string& managedDepts) {
    std::vector<std::unique_ptr<DeptNode>> nodes;
    for (std::string& entry : SplitList(managedDepts, ";")) {
        auto node = std::make_unique<DeptNode>();
        node->text = entry.front() == '\\' ? entry.substr(1) : entry;
        node->path = std::move(entry);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

std::vector<std::unique_ptr<DeptNode>> ChildDeptNodes(const std::string& parentPath,
                                                      const std::string& reply) {
    std::vector<std::unique_ptr<DeptNode>> nodes;
    for (std::string& name : SplitList(Trim(reply), ",")) {
        auto node = std::make_unique<DeptNode>();
        node->path = ChildPath(parentPath, name);
        node->text = std::move(name);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

}  // namespace warden::console

#include "console/core/DeptScope.h"

#include "protocol/SplitList.h"

namespace warden::console {

std::string NormalDeptPath(std::string_view path) {
    std::string normal;
    for (const std::string& name : SplitList(path, "\\")) normal.append("\\").append(name);
    return normal;
}

bool PathCovers(std::string_view ancestor, std::string_view path) {
    const std::string a = NormalDeptPath(ancestor);
    const std::string p = NormalDeptPath(path);
    if (a.empty() || p.size() < a.size()) return false;
    // The directory finds "\\Sales" under any ASCII letter case; the bytes
    // of other UTF-8 characters are never ASCII letters.
    if (!EqualsNoCase(std::string_view(p).substr(0, a.size()), a)) return false;
    return p.size() == a.size() || p[a.size()] == '\\';
}

DeptScope::DeptScope(const LoginState& login) : m_everything(login.IsSuper()) {
    if (m_everything) return;
    for (const std::string& entry : SplitList(login.managedDepts, ";")) {
        std::string normal = NormalDeptPath(entry);
        if (!normal.empty()) m_assigned.push_back(std::move(normal));
    }
}

bool DeptScope::InScope(std::string_view path) const {
    if (m_everything) return true;
    for (const std::string& assigned : m_assigned) {
        if (PathCovers(assigned, path)) return true;
    }
    return false;
}

bool DeptScope::StrictlyInside(std::string_view path) const {
    if (m_everything) return !NormalDeptPath(path).empty();
    const std::string normal = NormalDeptPath(path);
    for (const std::string& assigned : m_assigned) {
        if (normal.size() > assigned.size() && PathCovers(assigned, normal)) return true;
    }
    return false;
}

}  // namespace warden::console

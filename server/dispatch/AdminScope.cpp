#include "server/dispatch/AdminScope.h"

#include <algorithm>

#include "protocol/SplitList.h"

namespace warden {

DeptKey NormaliseDeptPath(std::string_view path) {
    DeptKey key = SplitList(path, "\\");
    for (std::string& name : key) name = LowerAscii(name);
    return key;
}

AdminScope::AdminScope(std::string_view depts) {
    for (const std::string& entry : SplitList(depts, ";")) {
        DeptKey key = NormaliseDeptPath(entry);
        if (!key.empty()) m_depts.push_back(std::move(key));
    }
}

bool AdminScope::Within(std::string_view path, bool strictly) const {
    const DeptKey target = NormaliseDeptPath(path);
    return std::any_of(m_depts.begin(), m_depts.end(), [&](const DeptKey& own) {
        if (target.size() < own.size() + (strictly ? 1 : 0)) return false;
        return std::equal(own.begin(), own.end(), target.begin());
    });
}

bool AdminScope::Covers(std::string_view path) const {
    return Within(path, /*strictly=*/false);
}

bool AdminScope::HasInside(std::string_view path) const {
    return Within(path, /*strictly=*/true);
}

GrantableRoles::GrantableRoles(std::string_view roles) {
    for (const std::string& role : SplitList(roles, "|")) m_roles.push_back(LowerAscii(role));
}

bool GrantableRoles::MayGrant(std::string_view role) const {
    const std::string lower = LowerAscii(role);
    return std::find(m_roles.begin(), m_roles.end(), lower) != m_roles.end();
}

}  // namespace warden

#include "console/core/DeptManagers.h"

#include "console/core/AskAll.h"
#include "console/core/DeptScope.h"
#include "protocol/ParamKeys.h"
#include "protocol/RequestNames.h"
#include "protocol/SplitList.h"

namespace warden::console {

bool DeptManagers::Load() {
    const std::string list = m_transport.SendRequest(req::kGetAdminList, "");
    if (list.empty() || list.rfind("error:", 0) == 0) return false;
    std::vector<std::string> names;
    std::vector<Request> asks;
    for (const std::string& admin : SplitList(list, "|")) {
        if (Trim(admin).empty()) continue;
        names.push_back(admin);
        asks.emplace_back(req::kQueryUserAdminDepts, std::string(key::kUsername) + "=" + admin);
    }
    const std::vector<std::string> replies = AskAll(m_transport, asks);
    std::vector<std::pair<std::string, std::vector<std::string>>> admins;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& depts = replies[i];
        if (depts.empty() || depts.rfind("error:", 0) == 0) return false;
        admins.emplace_back(names[i], SplitList(depts, "|;"));
    }
    m_admins = std::move(admins);
    m_loaded = true;
    return true;
}

std::optional<std::vector<std::pair<std::string, std::string>>> DeptManagers::Of(
    const std::string& path) {
    if (!m_loaded && !Load()) return std::nullopt;
    std::vector<std::pair<std::string, std::string>> managers;
    for (const auto& [admin, depts] : m_admins) {
        for (const std::string& dept : depts) {
            // An entry naming the top level covers nothing, here as on the server.
            if (!PathCovers(dept, path)) continue;
            managers.emplace_back(admin, dept);
            break;
        }
    }
    return managers;
}

std::string ManagersText(const std::vector<std::pair<std::string, std::string>>& managers) {
    if (managers.empty()) return "无";
    std::string text;
    for (const auto& [admin, dept] : managers) {
        if (!text.empty()) text += ", ";
        text += admin + " (" + dept + ")";
    }
    return text;
}

}  // namespace warden::console

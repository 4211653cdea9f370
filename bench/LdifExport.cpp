#include "bench/LdifExport.h"

#include <pugixml.hpp>

#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "directory/BuiltIns.h"
#include "ldapdir/LdifWriter.h"
#include "protocol/SplitList.h"
#include "server/im/NameLists.h"
#include "server/im/RoleRights.h"

namespace warden {

namespace {

std::vector<ldapdir::RightSetting> RightsOf(const std::string& xml) {
    std::vector<ldapdir::RightSetting> rights;
    pugi::xml_document doc;
    if (!doc.load_string(xml.c_str())) return rights;
    for (const auto& item : doc.select_nodes("//Item")) {
        const pugi::xml_node node = item.node();
        rights.push_back({node.attribute("Identity").value(),
                          EqualsNoCase(node.attribute("Deny").value(), "true"),
                          EqualsNoCase(node.attribute("Allow").value(), "true")});
    }
    return rights;
}

std::vector<std::string> RoleNames(const std::string& xml) {
    std::vector<std::string> names;
    pugi::xml_document doc;
    if (!doc.load_string(xml.c_str())) return names;
    for (const auto& item : doc.select_nodes("//Item")) {
        names.emplace_back(item.node().attribute("RoleName").value());
    }
    return names;
}

struct UserEntry {
    std::string account;
    UserRecord record;
    std::vector<std::string> depts;  // paths with the leading "\"
    std::vector<std::string> roles;
};

}  // namespace

ExportSummary ExportLdif(ImRoot& root, const std::string& baseDn, std::ostream& out) {
    ImDeptManager& depts = root.GetDeptManager();
    ImUserManager& users = root.GetUserManager();
    ImRoleManager& roles = root.GetRoleManager();

    // Read first: the container that comes before everything else holds the
    // next IM number, past every number handed out so far.
    std::vector<std::pair<std::string, int64_t>> deptPaths;  // parents first, with order
    std::vector<std::string> accounts;
    std::function<void(const std::string&)> walk = [&](const std::string& path) {
        int64_t order = 0;
        for (const std::string& child : ListNames(depts.GetChildDepts(path), "Department")) {
            deptPaths.emplace_back(path + "\\" + child, order += kSortStep);
            walk(path + "\\" + child);
        }
        if (path.empty()) return;
        for (std::string& account : ListNames(depts.GetDeptUsers(path), "User")) {
            accounts.push_back(std::move(account));
        }
    };
    walk("");
    int64_t nextUin = kFirstUin;
    std::vector<UserEntry> entries;
    std::unordered_set<std::string> seen;
    for (const std::string& account : accounts) {
        if (!seen.insert(LowerAscii(account)).second) continue;
        UserEntry& entry = entries.emplace_back();
        entry.account = account;
        entry.record = users.GetUserRecord(account);
        nextUin = std::max(nextUin, entry.record.uin + 1);
        for (const std::string& path : ListNames(depts.GetUserDepts(account), "Department")) {
            entry.depts.push_back("\\" + path);
        }
        entry.roles = RoleNames(roles.GetUserRoles(account));
    }

    ExportSummary summary;
    ldapdir::LdifWriter ldif(out, baseDn);
    ldif.Base();
    ldif.Container(nextUin);
    std::unordered_map<std::string, std::string> roleUuids;  // by name in lower case
    for (const std::string& name : RoleNames(roles.GetAllRoles())) {
        const bool builtIn =
            EqualsNoCase(name, kRoleUser) || EqualsNoCase(name, kRoleAdministrator);
        roleUuids[LowerAscii(name)] =
            ldif.Role(name, GetRoleDescriptionText(roles.GetRoleDescription(name)),
                      RightsOf(roles.GetRoleRights(name)), builtIn);
        ++summary.roles;
    }
    for (const auto& [path, order] : deptPaths) {
        ldif.Dept(path, order);
        ++summary.departments;
    }
    for (const UserEntry& entry : entries) {
        std::vector<std::string> held;
        for (const std::string& role : entry.roles) {
            if (auto found = roleUuids.find(LowerAscii(role)); found != roleUuids.end()) {
                held.push_back(found->second);
            }
        }
        ldif.User(entry.account, entry.record, entry.depts, held);
        ++summary.users;
    }
    return summary;
}

}  // namespace warden

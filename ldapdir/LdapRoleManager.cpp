#include "ldapdir/LdapRoleManager.h"

#include <algorithm>

#include "directory/BuiltIns.h"
#include "directory/TextRules.h"
#include "directory/XmlText.h"
#include "ldapdir/Dn.h"
#include "ldapdir/RightValue.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

using Op = LdapChange::Op;

[[noreturn]] void Fail(uint32_t code, const std::string& message) {
    throw ImError(code, kErrorSource, message);
}

const RightDefinition& RequireRight(const std::string& identity) {
    for (const RightDefinition& right : kRights) {
        if (right.identity == identity) return right;
    }
    Fail(im_code::kNotFound, "right \"" + identity + "\" does not exist");
}

size_t RightIndex(const std::string& identity) {
    for (size_t i = 0; i < kRights.size(); ++i) {
        if (kRights[i].identity == identity) return i;
    }
    return kRights.size();
}

std::string RoleList(const std::vector<RoleInfo>& roles) {
    std::string xml = "<VEXSRoleList>";
    for (const RoleInfo& role : roles) {
        xml += "<Item RoleName=\"";
        AppendXmlEscaped(xml, role.name);
        xml += "\"></Item>";
    }
    return xml + "</VEXSRoleList>";
}

}  // namespace

std::string LdapRoleManager::GetAllRoles() {
    m_tree.Ready();
    return RoleList(m_tree.Roles());
}

std::string LdapRoleManager::GetRoleDescription(const std::string& role) {
    m_tree.Ready();
    return "<Role RoleDescribe=\"" + XmlEscaped(m_tree.RequireRole(role).description) + "\" />";
}

std::string LdapRoleManager::GetRoleRights(const std::string& role) {
    m_tree.Ready();
    std::vector<RightSetting> rights;
    for (const std::string& value : m_tree.RequireRole(role).rights) {
        if (auto setting = ParseRightValue(value);
            setting && RightIndex(setting->identity) < kRights.size()) {
            rights.push_back(*setting);
        }
    }
    std::stable_sort(rights.begin(), rights.end(),
                     [](const RightSetting& a, const RightSetting& b) {
                         return RightIndex(a.identity) < RightIndex(b.identity);
                     });
    std::string xml = "<RoleRights>";
    for (const RightSetting& right : rights) {
        xml += "<Item Identity=\"";
        AppendXmlEscaped(xml, right.identity);
        xml += right.deny ? "\" Deny=\"true\"" : "\" Deny=\"false\"";
        xml += right.allow ? " Allow=\"true\"/>" : " Allow=\"false\"/>";
    }
    return xml + "</RoleRights>";
}

std::string LdapRoleManager::GetUserRoles(const std::string& user) {
    const UserState state = m_users.Get(user);
    std::vector<RoleInfo> held;
    for (RoleInfo& role : m_tree.Roles()) {
        if (std::find(state.roleRefs.begin(), state.roleRefs.end(), role.uuid) !=
            state.roleRefs.end()) {
            held.push_back(std::move(role));
        }
    }
    return RoleList(held);
}

void LdapRoleManager::AddRole(const std::string& name, const std::string& description) {
    m_users.RequireNoUnit("adding a role");
    CheckName(kErrorSource, "role name", name);
    CheckText(kErrorSource, "role description", description);
    m_tree.Ready();
    int64_t last = 0;
    for (const RoleInfo& role : m_tree.Roles()) last = std::max(last, role.order);
    std::vector<LdapChange> entry = {{Op::kAdd, "objectClass", {"wardenRole"}},
                                     {Op::kAdd, "cn", {name}},
                                     {Op::kAdd, "wardenOrder", {std::to_string(last + 1)}}};
    if (!description.empty()) entry.push_back({Op::kAdd, "description", {description}});
    m_tree.Service().Run([&](LdapConnection& ldap) { ldap.Add(m_tree.RoleDn(name), entry); });
}

void LdapRoleManager::DeleteRole(const std::string& name) {
    m_users.RequireNoUnit("deleting a role");
    m_tree.Ready();
    const RoleInfo role = m_tree.RequireRole(name);
    if (role.builtIn)
        Fail(im_code::kInvalidArgument, "the role \"" + name + "\" cannot be deleted");
    m_tree.Service().Run([&](LdapConnection& ldap) {
        ldap.Delete(role.dn);
        // What holders still name is ignored once the role is gone; taking it
        // away keeps their entries tidy.
        const std::string filter = "(wardenRoleRef=" + EscapeFilterValue(role.uuid) + ")";
        for (const LdapEntry& holder : ldap.Search(m_tree.BaseDn(), Scope::kSubtree, filter, {})) {
            try {
                ldap.Modify(holder.dn, {{Op::kDelete, "wardenRoleRef", {role.uuid}}}, true);
            } catch (const ImError&) {
            }
        }
    });
}

void LdapRoleManager::UpdateRole(const std::string& name, const std::string& newName,
                                 const std::string& description) {
    m_users.RequireNoUnit("changing a role");
    CheckName(kErrorSource, "role name", newName);
    CheckText(kErrorSource, "role description", description);
    m_tree.Ready();
    const RoleInfo role = m_tree.RequireRole(name);
    if (newName != role.name && role.builtIn) {
        Fail(im_code::kInvalidArgument, "the role \"" + role.name + "\" cannot be renamed");
    }
    if (LowerAscii(newName) != LowerAscii(role.name) && m_tree.FindRole(newName)) {
        Fail(im_code::kAlreadyExists, "role \"" + newName + "\" exists");
    }
    m_tree.Service().Run([&](LdapConnection& ldap) {
        std::string dn = role.dn;
        if (newName != role.name) {
            ldap.Rename(dn, "cn=" + EscapeDnValue(newName), std::nullopt);
            dn = m_tree.RoleDn(newName);
        }
        std::vector<LdapChange> change;
        if (description.empty()) {
            if (!role.description.empty()) change.push_back({Op::kDelete, "description", {}});
        } else {
            change.push_back({Op::kReplace, "description", {description}});
        }
        ldap.Modify(dn, change);
    });
}

void LdapRoleManager::AddUserToRole(const std::string& user, const std::string& role) {
    if (!m_users.Exists(user)) Fail(im_code::kNotFound, "user \"" + user + "\" does not exist");
    const RoleInfo found = m_tree.RequireRole(role);
    m_users.Change(user, [&](UserState& state) {
        if (std::find(state.roleRefs.begin(), state.roleRefs.end(), found.uuid) ==
            state.roleRefs.end()) {
            state.roleRefs.push_back(found.uuid);
        }
    });
}

void LdapRoleManager::RemoveUserFromRole(const std::string& user, const std::string& role) {
    if (!m_users.Exists(user)) Fail(im_code::kNotFound, "user \"" + user + "\" does not exist");
    const RoleInfo found = m_tree.RequireRole(role);
    m_users.Change(user, [&](UserState& state) {
        if (std::erase(state.roleRefs, found.uuid) == 0) {
            Fail(im_code::kNotFound, "user \"" + user + "\" does not hold \"" + role + "\"");
        }
    });
}

void LdapRoleManager::WriteRight(const std::string& role, const std::string& right, bool deny,
                                 bool allow, bool keepIfHeld) {
    m_users.RequireNoUnit("changing a role's rights");
    m_tree.Ready();
    const RoleInfo found = m_tree.RequireRole(role);
    const RightDefinition& definition = RequireRight(right);
    std::vector<std::string> values;
    bool held = false;
    for (const std::string& value : found.rights) {
        auto setting = ParseRightValue(value);
        if (setting && setting->identity == definition.identity) {
            held = true;
            if (keepIfHeld) return;
            continue;
        }
        values.push_back(value);
    }
    if (keepIfHeld && !held) {
        deny = false;
        allow = definition.defaultAllow;
    }
    values.push_back(RightValue(std::string(definition.identity), deny, allow));
    m_tree.Service().Run([&](LdapConnection& ldap) {
        ldap.Modify(found.dn, {{Op::kReplace, "wardenRight", values}});
    });
}

void LdapRoleManager::AddRightToRole(const std::string& role, const std::string& right) {
    WriteRight(role, right, false, false, true);
}

void LdapRoleManager::SetRoleRight(const std::string& role, const std::string& right, int deny,
                                   int allow) {
    WriteRight(role, right, deny != 0, allow != 0, false);
}

std::string LdapRoleManager::GetRightInfo(const std::string& right) {
    const RightDefinition& definition = RequireRight(right);
    std::string xml = "<RightInfo><Item key=\"Identity\">";
    AppendXmlEscaped(xml, definition.identity);
    xml += "</Item><Item key=\"Name\">";
    AppendXmlEscaped(xml, definition.name);
    xml += "</Item><Item key=\"Allow\">";
    xml += definition.defaultAllow ? "1" : "0";
    return xml + "</Item></RightInfo>";
}

}  // namespace warden::ldapdir

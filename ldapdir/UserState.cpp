#include "ldapdir/UserState.h"

#include <algorithm>

#include "ldapdir/Dn.h"
#include "ldapdir/LdapTree.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

using Op = LdapChange::Op;

int64_t Integer(const std::string& text) {
    try {
        return text.empty() ? 0 : std::stoll(text);
    } catch (...) {
        return 0;
    }
}

// Zero is kept as an absent attribute, as the empty text is.
std::string IntegerText(int64_t value) {
    return value == 0 ? std::string() : std::to_string(value);
}

std::vector<std::string> LowerAll(const std::vector<std::string>& values) {
    std::vector<std::string> out;
    for (const std::string& v : values) out.push_back(LowerAscii(v));
    return out;
}

std::string CommonName(const UserState& user) {
    return user.name.empty() ? user.account : user.name;
}

// The values of the single-valued attributes of `user`, by attribute.
std::vector<std::pair<const char*, std::string>> Singles(const UserState& user) {
    return {{"mobile", user.mobile},
            {"mail", user.email},
            {"telephoneNumber", user.phone},
            {"title", user.position},
            {"wardenGender", IntegerText(user.gender)},
            {"wardenLevel", IntegerText(user.level)},
            {"wardenUin", IntegerText(user.uin)},
            {"wardenAuth", IntegerText(user.auth)}};
}

// What turns the entry of `before` into that of `after` (beside its place).
std::vector<LdapChange> Changes(const UserState& before, const UserState& after) {
    std::vector<LdapChange> changes;
    auto single = [&](const char* type, const std::string& was, const std::string& is,
                      bool always = false) {
        if (was == is && !always) return;
        if (is.empty()) {
            if (!was.empty()) changes.push_back({Op::kDelete, type, {}});
        } else {
            changes.push_back({Op::kReplace, type, {is}});
        }
    };
    // An entry Warden did not make gets the class, and its name (read from
    // cn) written where Warden reads it from now on.
    const bool adopting = !before.wardenClass;
    if (adopting) changes.push_back({Op::kAdd, "objectClass", {"wardenUser"}});
    single("displayName", before.name, after.name, adopting);
    if (!after.cnIsRdn) single("cn", CommonName(before), CommonName(after));
    const auto was = Singles(before);
    const auto is = Singles(after);
    for (size_t i = 0; i < was.size(); ++i) single(was[i].first, was[i].second, is[i].second);
    for (const char* type : {"wardenDepartmentRef", "wardenRoleRef"}) {
        const bool depts = std::string_view(type) == "wardenDepartmentRef";
        const auto old = LowerAll(depts ? before.deptRefs : before.roleRefs);
        const auto now = LowerAll(depts ? after.deptRefs : after.roleRefs);
        std::vector<std::string> added, removed;
        for (const std::string& v : now) {
            if (std::find(old.begin(), old.end(), v) == old.end()) added.push_back(v);
        }
        for (const std::string& v : old) {
            if (std::find(now.begin(), now.end(), v) == now.end()) removed.push_back(v);
        }
        if (!removed.empty()) changes.push_back({Op::kDelete, type, removed});
        if (!added.empty()) changes.push_back({Op::kAdd, type, added});
    }
    return changes;
}

std::vector<LdapChange> NewEntry(const UserState& user) {
    std::vector<LdapChange> attributes = {
        {Op::kAdd, "objectClass", {"inetOrgPerson", "wardenUser"}},
        {Op::kAdd, "uid", {user.account}},
        {Op::kAdd, "cn", {CommonName(user)}},
        {Op::kAdd, "sn", {CommonName(user)}},
    };
    if (!user.name.empty()) attributes.push_back({Op::kAdd, "displayName", {user.name}});
    for (const auto& [type, value] : Singles(user)) {
        if (!value.empty()) attributes.push_back({Op::kAdd, type, {value}});
    }
    if (!user.deptRefs.empty())
        attributes.push_back({Op::kAdd, "wardenDepartmentRef", user.deptRefs});
    if (!user.roleRefs.empty()) attributes.push_back({Op::kAdd, "wardenRoleRef", user.roleRefs});
    return attributes;
}

std::string FirstRdn(const std::string& dn) {
    const auto rdns = ParseDn(dn);
    if (!rdns || rdns->empty()) return dn;
    return rdns->front().type + "=" + EscapeDnValue(rdns->front().value);
}

// Runs `step`, swallowing its failure: an undo that fails leaves the
// failure being reported as the one that counts.
template <class Step>
void TryUndo(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

std::vector<std::string> UserAttributes() {
    return {"objectClass",         "uid",          "cn",
            "displayName",         "mobile",       "mail",
            "telephoneNumber",     "title",        "wardenGender",
            "wardenLevel",         "wardenUin",    "wardenAuth",
            "wardenDepartmentRef", "wardenRoleRef"};
}

UserState ReadUser(const LdapEntry& entry, const LdapTree& tree) {
    UserState user;
    user.dn = entry.dn;
    user.account = entry.First("uid");
    user.wardenClass = IsWardenUser(entry.All("objectClass"));
    const auto rdns = ParseDn(entry.dn);
    user.cnIsRdn = rdns && !rdns->empty() && LowerAscii(rdns->front().type) == "cn";
    user.name = ShownName(entry.First("displayName"), entry.First("cn"), user.wardenClass);
    user.mobile = entry.First("mobile");
    user.email = entry.First("mail");
    user.phone = entry.First("telephoneNumber");
    user.position = entry.First("title");
    user.gender = static_cast<int>(Integer(entry.First("wardenGender")));
    user.level = static_cast<int32_t>(Integer(entry.First("wardenLevel")));
    user.uin = Integer(entry.First("wardenUin"));
    user.auth = static_cast<int32_t>(Integer(entry.First("wardenAuth")));
    const std::string parent = ParentDn(entry.dn);
    if (tree.PathOf(parent)) user.home = parent;
    user.deptRefs = LowerAll(entry.All("wardenDepartmentRef"));
    user.roleRefs = LowerAll(entry.All("wardenRoleRef"));
    return user;
}

std::vector<std::string> DeptPathsOf(const UserState& user, const std::vector<DeptRef>& found,
                                     const LdapTree& tree) {
    std::vector<std::string> paths;
    const std::string home = user.home.empty() ? std::string() : DnKey(user.home);
    if (!home.empty()) {
        if (auto path = tree.PathOf(user.home)) paths.push_back(*path);
    }
    for (const std::string& uuid : user.deptRefs) {
        auto dept = std::find_if(found.begin(), found.end(),
                                 [&](const DeptRef& d) { return d.uuid == uuid; });
        if (dept == found.end() || (!home.empty() && DnKey(dept->dn) == home)) continue;
        if (auto path = tree.PathOf(dept->dn)) paths.push_back(*path);
    }
    return paths;
}

UserState NewUser(const std::string& account, int64_t uin, std::vector<std::string> roleRefs) {
    UserState user;
    user.account = account;
    user.wardenClass = true;
    user.uin = uin;
    user.roleRefs = std::move(roleRefs);
    return user;
}

void WriteUser(LdapTree& tree, const std::optional<UserState>& before, UserState& after) {
    const std::string location = after.home.empty() ? tree.BaseDn() : after.home;
    tree.Service().Run([&](LdapConnection& ldap) {
        if (!before) {
            const std::string dn = "uid=" + EscapeDnValue(after.account) + "," + location;
            ldap.Add(dn, NewEntry(after));
            if (after.password) {
                try {
                    ldap.SetPassword(dn, *after.password);
                } catch (...) {
                    TryUndo([&] { ldap.Delete(dn); });
                    throw;
                }
            }
            after.dn = dn;
            return;
        }
        const std::string rdn = FirstRdn(before->dn);
        const bool moves = DnKey(before->home) != DnKey(after.home);
        std::string dn = before->dn;
        // The move goes first: should the modify then fail, the entry goes
        // back, and a user is never left in no department by half a change.
        if (moves) {
            ldap.Rename(dn, rdn, location);
            dn = rdn + "," + location;
        }
        auto moveBack = [&] {
            if (moves) TryUndo([&] { ldap.Rename(dn, rdn, ParentDn(before->dn)); });
        };
        try {
            ldap.Modify(dn, Changes(*before, after), true);
        } catch (...) {
            moveBack();
            throw;
        }
        if (after.password) {
            try {
                ldap.SetPassword(dn, *after.password);
            } catch (...) {
                TryUndo([&] { ldap.Modify(dn, Changes(after, *before), true); });
                moveBack();
                throw;
            }
        }
        after.dn = dn;
    });
}

}  // namespace warden::ldapdir

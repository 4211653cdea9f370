#include "ldapdir/LdapDeptManager.h"

#include <algorithm>
#include <charconv>

#include "directory/BuiltIns.h"
#include "directory/TextRules.h"
#include "directory/XmlText.h"
#include "ldapdir/Dn.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

using Op = LdapChange::Op;

constexpr const char kDeptFilter[] = "(objectClass=organizationalUnit)";

bool SameDn(const std::string& a, const std::string& b) {
    return DnKey(a) == DnKey(b);
}

// Whether `dn` is `root` or lies below it.
bool InSubtree(const std::string& dn, const std::string& root) {
    const std::string key = DnKey(dn);
    const std::string rootKey = DnKey(root);
    return key == rootKey || (key.size() > rootKey.size() && key.ends_with(rootKey) &&
                              key[key.size() - rootKey.size() - 1] == ',');
}

std::string FirstRdn(const std::string& dn) {
    const auto rdns = ParseDn(dn);
    if (!rdns || rdns->empty()) return dn;
    return rdns->front().type + "=" + EscapeDnValue(rdns->front().value);
}

bool IsMember(const UserState& user, const DeptRef& dept) {
    return (!user.home.empty() && SameDn(user.home, dept.dn)) ||
           std::find(user.deptRefs.begin(), user.deptRefs.end(), dept.uuid) != user.deptRefs.end();
}

void Join(UserState& user, const DeptRef& dept) {
    if (IsMember(user, dept)) return;
    if (user.home.empty()) {
        user.home = dept.dn;
    } else {
        user.deptRefs.push_back(dept.uuid);
    }
}

// Takes the user out of `dept`. Leaving the department his entry lies in
// moves the entry to the first further department that still exists, or to
// BASE_DN when there is none.
void Leave(LdapTree& tree, UserState& user, const DeptRef& dept) {
    if (!IsMember(user, dept)) {
        throw ImError(im_code::kNotFound, kErrorSource,
                      "user \"" + user.account + "\" is not in " + dept.dn);
    }
    std::erase(user.deptRefs, dept.uuid);
    if (user.home.empty() || !SameDn(user.home, dept.dn)) return;
    user.home.clear();
    const std::vector<DeptRef> existing = tree.DeptsByUuid(user.deptRefs);
    for (auto ref = user.deptRefs.begin(); ref != user.deptRefs.end(); ++ref) {
        auto found = std::find_if(existing.begin(), existing.end(),
                                  [&](const DeptRef& d) { return d.uuid == *ref; });
        if (found != existing.end()) {
            user.home = found->dn;
            user.deptRefs.erase(user.deptRefs.begin(), ref + 1);
            return;
        }
    }
    user.deptRefs.clear();
}

int64_t OrderOf(const LdapEntry& entry) {
    try {
        const std::string& text = entry.First("wardenOrder");
        return text.empty() ? 0 : std::stoll(text);
    } catch (...) {
        return 0;
    }
}

}  // namespace

std::vector<LdapDeptManager::Child> LdapDeptManager::Children(const std::string& parentDn) {
    auto entries = m_tree.Service().Run(
        [&](LdapConnection& ldap) {
            return ldap.Search(parentDn, Scope::kOneLevel, kDeptFilter, {"wardenOrder"});
        },
        true);
    std::vector<Child> children;
    for (const LdapEntry& entry : entries) {
        const auto rdns = ParseDn(entry.dn);
        if (!rdns || rdns->empty()) continue;
        children.push_back({entry.dn, rdns->front().value, OrderOf(entry)});
    }
    std::stable_sort(children.begin(), children.end(), [](const Child& a, const Child& b) {
        return a.order != b.order ? a.order < b.order : LowerAscii(a.name) < LowerAscii(b.name);
    });
    return children;
}

int64_t LdapDeptManager::NextOrder(const std::string& parentDn) {
    int64_t last = 0;
    for (const Child& child : Children(parentDn)) last = std::max(last, child.order);
    return last + kSortStep;
}

void LdapDeptManager::SetOrder(const std::string& dn, int64_t order) {
    // A department made by another tool gets the class that holds the order.
    m_tree.Service().Run([&](LdapConnection& ldap) {
        ldap.Modify(dn,
                    {{Op::kAdd, "objectClass", {"wardenDepartment"}},
                     {Op::kReplace, "wardenOrder", {std::to_string(order)}}},
                    true);
    });
}

int LdapDeptManager::AddDept(const std::string& name, const std::string& parentPath) {
    m_users.RequireNoUnit("adding a department");
    CheckDeptName(kErrorSource, name);
    m_tree.Ready();
    const DeptRef parent = m_tree.RequireDept(parentPath, true);
    const int64_t order = NextOrder(parent.dn);
    m_tree.Service().Run([&](LdapConnection& ldap) {
        ldap.Add("ou=" + EscapeDnValue(name) + "," + parent.dn,
                 {{Op::kAdd, "objectClass", {"organizationalUnit", "wardenDepartment"}},
                  {Op::kAdd, "ou", {name}},
                  {Op::kAdd, "wardenOrder", {std::to_string(order)}}});
    });
    return 0;
}

bool LdapDeptManager::IsDeptExist(const std::string& path) {
    try {
        return !m_tree.RequireDept(path, true).uuid.empty();
    } catch (const ImError& e) {
        if (e.Code() == im_code::kNotFound) return false;
        throw;
    }
}

int LdapDeptManager::DeleteDept(const std::string& path, int flags) {
    (void)flags;
    m_users.RequireNoUnit("deleting a department");
    const DeptRef dept = m_tree.RequireDept(path, false);
    m_tree.Service().Run([&](LdapConnection& ldap) {
        if (!ldap.Search(dept.dn, Scope::kOneLevel, "(objectClass=*)", {}, 1).empty()) {
            throw ImError(im_code::kNotEmpty, kErrorSource, "the department has entries below it");
        }
        if (!ldap.Search(m_tree.BaseDn(), Scope::kSubtree,
                         "(wardenDepartmentRef=" + EscapeFilterValue(dept.uuid) + ")", {}, 1)
                 .empty()) {
            throw ImError(im_code::kNotEmpty, kErrorSource, "the department has users");
        }
        ldap.Delete(dept.dn);
    });
    return 0;
}

void LdapDeptManager::ChangeDeptName(const std::string& path, const std::string& newName) {
    m_users.RequireNoUnit("renaming a department");
    CheckDeptName(kErrorSource, newName);
    const DeptRef dept = m_tree.RequireDept(path, false);
    m_tree.Service().Run([&](LdapConnection& ldap) {
        ldap.Rename(dept.dn, "ou=" + EscapeDnValue(newName), std::nullopt);
    });
}

void LdapDeptManager::MoveDept(const std::string& path, const std::string& newParentPath) {
    m_users.RequireNoUnit("moving a department");
    const DeptRef dept = m_tree.RequireDept(path, false);
    const DeptRef parent = m_tree.RequireDept(newParentPath, true);
    if (InSubtree(parent.dn, dept.dn)) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "a department cannot move into its own subtree");
    }
    if (SameDn(ParentDn(dept.dn), parent.dn)) return;
    const int64_t order = NextOrder(parent.dn);
    const std::string rdn = FirstRdn(dept.dn);
    m_tree.Service().Run([&](LdapConnection& ldap) { ldap.Rename(dept.dn, rdn, parent.dn); });
    SetOrder(rdn + "," + parent.dn, order);
}

void LdapDeptManager::RemoveUserFromDept(const std::string& user, const std::string& deptPath) {
    const DeptRef dept = m_tree.RequireDept(deptPath, false);
    m_users.Change(user, [&](UserState& state) { Leave(m_tree, state, dept); });
}

void LdapDeptManager::AddUserToDept(const std::string& user, const std::string& sourceDept,
                                    const std::string& targetDept, int copy) {
    const DeptRef target = m_tree.RequireDept(targetDept, false);
    std::optional<DeptRef> source;
    if (!SplitList(sourceDept, "\\").empty()) source = m_tree.RequireDept(sourceDept, false);
    m_users.Change(user, [&](UserState& state) {
        if (source) {
            if (!IsMember(state, *source)) {
                throw ImError(im_code::kNotFound, kErrorSource,
                              "user \"" + user + "\" is not in \"" + sourceDept + "\"");
            }
            if (copy == 0 && !SameDn(source->dn, target.dn)) Leave(m_tree, state, *source);
        }
        Join(state, target);
    });
}

std::string LdapDeptManager::GetChildDepts(const std::string& path) {
    m_tree.Ready();
    const DeptRef parent = m_tree.RequireDept(path, true);
    std::string xml = "<Departments>";
    for (const Child& child : Children(parent.dn)) {
        xml += "<Department Name=\"";
        AppendXmlEscaped(xml, child.name);
        xml += "\"/>";
    }
    return xml + "</Departments>";
}

std::optional<std::vector<std::string>> LdapDeptManager::ListDeptUsers(const std::string& path) {
    const DeptRef dept = m_tree.RequireDept(path, true);
    std::vector<std::string> accounts;
    if (dept.uuid.empty()) return accounts;  // the top level has none
    // In the order users came to the directory, as far as it tells: by IM
    // number, which grows with every user added (accounts made by other
    // tools, without one, come first, by name). A department's users can
    // be thousands: each entry is read as it arrives, without copies.
    struct Member {
        int64_t uin;
        std::string key;  // the account in lower case
        std::string account;
        size_t found;  // the first found is kept when two entries share an account
    };
    std::vector<Member> members;
    const EntryVisitor collect = [&](const EntryView& entry) {
        const std::string_view account = entry.First("uid");
        if (account.empty()) return true;
        int64_t uin = 0;
        const std::string_view number = entry.First("wardenUin");
        std::from_chars(number.data(), number.data() + number.size(), uin);
        members.push_back({uin, LowerAscii(account), std::string(account), members.size()});
        return true;
    };
    const std::string users = "(objectClass=inetOrgPerson)";
    m_tree.Service().Run(
        [&](LdapConnection& ldap) {
            members.clear();
            ldap.SearchEach(dept.dn, Scope::kOneLevel, "(&" + users + "(uid=*))",
                            {"uid", "wardenUin"}, collect);
            ldap.SearchEach(
                m_tree.BaseDn(), Scope::kSubtree,
                "(&" + users + "(wardenDepartmentRef=" + EscapeFilterValue(dept.uuid) + "))",
                {"uid", "wardenUin"}, collect);
        },
        true);
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
        return a.key != b.key ? a.key < b.key : a.found < b.found;
    });
    members.erase(std::unique(members.begin(), members.end(),
                              [](const Member& a, const Member& b) { return a.key == b.key; }),
                  members.end());
    std::sort(members.begin(), members.end(), [](const Member& a, const Member& b) {
        return a.uin != b.uin ? a.uin < b.uin : a.key < b.key;
    });
    accounts.reserve(members.size());
    for (Member& member : members) accounts.push_back(std::move(member.account));
    return accounts;
}

std::string LdapDeptManager::GetDeptUsers(const std::string& path) {
    const std::vector<std::string> accounts = *ListDeptUsers(path);
    std::string xml = "<Users>";
    for (const std::string& account : accounts) {
        xml += "<User Name=\"";
        AppendXmlEscaped(xml, account);
        xml += "\"/>";
    }
    return xml + "</Users>";
}

std::string LdapDeptManager::GetUserDepts(const std::string& user) {
    const UserState state = m_users.Get(user);
    std::string xml = "<Departments>";
    for (const std::string& path : DeptPathsOf(state, m_tree.DeptsByUuid(state.deptRefs), m_tree)) {
        xml += "<Department Name=\"";
        AppendXmlEscaped(xml, path);
        xml += "\"/>";
    }
    return xml + "</Departments>";
}

void LdapDeptManager::PlaceDept(const std::string& path, const std::string& nextPath, bool isLast) {
    m_users.RequireNoUnit("ordering departments");
    const DeptRef dept = m_tree.RequireDept(path, false);
    const DeptRef next = m_tree.RequireDept(nextPath, false);
    const std::string parent = ParentDn(dept.dn);
    if (!SameDn(parent, ParentDn(next.dn))) {
        throw ImError(im_code::kInvalidArgument, kErrorSource,
                      "a department is placed among its own siblings only");
    }
    std::vector<Child> siblings = Children(parent);
    std::erase_if(siblings, [&](const Child& c) { return SameDn(c.dn, dept.dn); });
    auto at = std::find_if(siblings.begin(), siblings.end(),
                           [&](const Child& c) { return SameDn(c.dn, next.dn); });
    if (at == siblings.end()) {
        // Placing a department by itself: where it is, it stays.
        return;
    }
    const size_t position = static_cast<size_t>(at - siblings.begin()) + (isLast ? 1 : 0);
    const Child* before = position > 0 ? &siblings[position - 1] : nullptr;
    const Child* after = position < siblings.size() ? &siblings[position] : nullptr;
    // One write when there is room between the neighbours, so that a place
    // is taken in one step of the directory.
    if (!before) return SetOrder(dept.dn, after->order - kSortStep);
    if (!after) return SetOrder(dept.dn, before->order + kSortStep);
    if (after->order - before->order >= 2) {
        return SetOrder(dept.dn, before->order + (after->order - before->order) / 2);
    }
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position),
                    Child{dept.dn, {}, INT64_MIN});
    for (size_t i = 0; i < siblings.size(); ++i) {
        const int64_t order = static_cast<int64_t>(i + 1) * kSortStep;
        if (siblings[i].order != order) SetOrder(siblings[i].dn, order);
    }
}

}  // namespace warden::ldapdir

#include "ldapdir/UserSearch.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "directory/TextRules.h"
#include "ldapdir/Dn.h"
#include "ldapdir/UserState.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

// Users handed on per read of their departments.
constexpr size_t kBatch = 100;

// Where the fields searched come from (the name: displayName, or cn on
// entries other tools made), and what else a match needs.
constexpr const char* kSearched[] = {"uid",    "displayName",     "cn",
                                     "mobile", "telephoneNumber", "mail"};
const std::vector<std::string>& Attributes() {
    static const std::vector<std::string> attributes = {
        "objectClass",     "uid",       "displayName",        "cn", "mobile", "mail",
        "telephoneNumber", "wardenUin", "wardenDepartmentRef"};
    return attributes;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether `field` contains `lowered`, ASCII letters of `field` in any case.
bool Holds(std::string_view field, std::string_view lowered) {
    for (size_t at = 0; at + lowered.size() <= field.size(); ++at) {
        size_t k = 0;
        while (k < lowered.size() && Lower(field[at + k]) == lowered[k]) ++k;
        if (k == lowered.size()) return true;
    }
    return false;
}

// A user found, with what the reply needs of him.
struct Found {
    bool exact;
    int64_t uin = 0;
    std::string key;  // the account in lower case
    std::string account;
    std::string name;
    std::string dn;
    std::vector<std::string> deptRefs;
};

}  // namespace

void SearchUsers(LdapTree& tree, const std::string& text, const UserMatchVisitor& visit) {
    CheckSearchText(kErrorSource, text);
    tree.Ready();
    const std::string contains = "=*" + EscapeFilterValue(text) + "*)";
    std::string filter = "(&(objectClass=inetOrgPerson)(|";
    for (const char* type : kSearched) filter += std::string("(") + type + contains;
    filter += "))";

    // A text of two letters may find most of the directory: each entry is
    // read as it arrives and only the matches are kept.
    const std::string lowered = LowerAscii(text);
    std::vector<Found> found;
    const EntryVisitor keep = [&](const EntryView& entry) {
        const std::string_view account = entry.First("uid");
        if (account.empty()) return true;
        const std::string_view name = ShownName(entry.First("displayName"), entry.First("cn"),
                                                IsWardenUser(entry.All("objectClass")));
        if (!Holds(account, lowered) && !Holds(name, lowered) &&
            !Holds(entry.First("mobile"), lowered) &&
            !Holds(entry.First("telephoneNumber"), lowered) &&
            !Holds(entry.First("mail"), lowered)) {
            return true;
        }
        Found& user = found.emplace_back();
        user.key = LowerAscii(account);
        user.exact = user.key == lowered;
        const std::string_view uin = entry.First("wardenUin");
        std::from_chars(uin.data(), uin.data() + uin.size(), user.uin);
        user.account = account;
        user.name = name;
        user.dn = entry.Dn();
        for (std::string_view ref : entry.All("wardenDepartmentRef")) {
            user.deptRefs.push_back(LowerAscii(ref));
        }
        return true;
    };
    tree.Service().Run(
        [&](LdapConnection& ldap) {
            found.clear();
            ldap.SearchEach(tree.BaseDn(), Scope::kSubtree, filter, Attributes(), keep);
        },
        true);

    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.exact != b.exact) return a.exact;
        if (a.uin != b.uin) return a.uin < b.uin;
        return a.key < b.key;
    });
    // Two entries of one account (other tools may make them) are one user:
    // the first in the order above.
    std::unordered_set<std::string> seen;
    std::erase_if(found, [&](const Found& f) { return !seen.insert(f.key).second; });

    for (size_t start = 0; start < found.size(); start += kBatch) {
        const size_t end = std::min(found.size(), start + kBatch);
        std::vector<std::string> refs;
        for (size_t i = start; i < end; ++i) {
            for (const std::string& ref : found[i].deptRefs) {
                if (std::find(refs.begin(), refs.end(), ref) == refs.end()) refs.push_back(ref);
            }
        }
        const std::vector<DeptRef> depts = tree.DeptsByUuid(refs);
        for (size_t i = start; i < end; ++i) {
            Found& f = found[i];
            UserState user;
            const std::string parent = ParentDn(f.dn);
            if (tree.PathOf(parent)) user.home = parent;
            user.deptRefs = std::move(f.deptRefs);
            UserMatch match{std::move(f.account), std::move(f.name),
                            DeptPathsOf(user, depts, tree)};
            if (!visit(std::move(match))) return;
        }
    }
}

}  // namespace warden::ldapdir

#include "ldapdir/UserSearch.h"

#include <algorithm>
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

bool Holds(std::string_view field, std::string_view lowered) {
    return field.size() >= lowered.size() && LowerAscii(field).find(lowered) != std::string::npos;
}

bool Matches(const UserState& user, std::string_view lowered) {
    for (const std::string* field :
         {&user.account, &user.name, &user.mobile, &user.phone, &user.email}) {
        if (Holds(*field, lowered)) return true;
    }
    return false;
}

}  // namespace

void SearchUsers(LdapTree& tree, const std::string& text, const UserMatchVisitor& visit) {
    CheckSearchText(kErrorSource, text);
    tree.Ready();
    const std::string contains = "=*" + EscapeFilterValue(text) + "*)";
    std::string filter = "(&(objectClass=inetOrgPerson)(|";
    for (const char* type : kSearched) filter += std::string("(") + type + contains;
    filter += "))";
    const std::vector<LdapEntry> entries = tree.Service().Run(
        [&](LdapConnection& ldap) {
            return ldap.Search(tree.BaseDn(), Scope::kSubtree, filter, Attributes());
        },
        true);

    const std::string lowered = LowerAscii(text);
    struct Found {
        bool exact;
        std::string key;  // the account in lower case
        UserState user;
    };
    std::vector<Found> found;
    for (const LdapEntry& entry : entries) {
        UserState user = ReadUser(entry, tree);
        if (user.account.empty() || !Matches(user, lowered)) continue;
        std::string key = LowerAscii(user.account);
        const bool exact = key == lowered;
        found.push_back({exact, std::move(key), std::move(user)});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.exact != b.exact) return a.exact;
        if (a.user.uin != b.user.uin) return a.user.uin < b.user.uin;
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
            for (const std::string& ref : found[i].user.deptRefs) {
                if (std::find(refs.begin(), refs.end(), ref) == refs.end()) refs.push_back(ref);
            }
        }
        const std::vector<DeptRef> depts = tree.DeptsByUuid(refs);
        for (size_t i = start; i < end; ++i) {
            UserState& user = found[i].user;
            std::vector<std::string> paths = DeptPathsOf(user, depts, tree);
            UserMatch match{std::move(user.account), std::move(user.name), std::move(paths)};
            if (!visit(std::move(match))) return;
        }
    }
}

}  // namespace warden::ldapdir

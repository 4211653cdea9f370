#include "ldapdir/UserSearch.h"

#include <algorithm>
#include <iterator>
#include <set>

#include "directory/TextRules.h"
#include "ldapdir/Dn.h"
#include "ldapdir/UserState.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

// Entries read in the first page; each further page twice as many, up to
// the largest.
constexpr int kFirstPage = 100;
constexpr int kLargestPage = 2000;

// Where the fields searched come from (the name: displayName, or cn on
// entries other tools made), and what else a match needs.
constexpr const char* kSearched[] = {"uid",    "displayName",     "cn",
                                     "mobile", "telephoneNumber", "mail"};
const std::vector<std::string>& Attributes() {
    static const std::vector<std::string> attributes = {
        "objectClass", "uid",  "displayName",     "cn",
        "mobile",      "mail", "telephoneNumber", "wardenDepartmentRef"};
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
    const std::string escaped = EscapeFilterValue(text);
    const std::string users = "(objectClass=inetOrgPerson)";
    std::string filter = "(&" + users + "(|";
    for (const char* type : kSearched) filter += std::string("(") + type + "=*" + escaped + "*)";
    filter += "))";

    const std::string lowered = LowerAscii(text);
    std::set<std::string> handed;  // the accounts visited, in lower case
    std::vector<Found> page;
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
        std::string key = LowerAscii(account);
        // Two entries of one account (other tools may make them) are one
        // user: the first found.
        if (handed.contains(key) ||
            std::any_of(page.begin(), page.end(), [&](const Found& f) { return f.key == key; })) {
            return true;
        }
        Found& user = page.emplace_back();
        user.key = std::move(key);
        user.account = account;
        user.name = name;
        user.dn = entry.Dn();
        for (std::string_view ref : entry.All("wardenDepartmentRef")) {
            user.deptRefs.push_back(LowerAscii(ref));
        }
        return true;
    };
    // Hands on the users of `page` with their departments; false once the
    // visitor has had enough.
    auto handOn = [&](LdapConnection& ldap) {
        std::vector<std::string> refs;
        for (const Found& f : page) {
            for (const std::string& ref : f.deptRefs) {
                if (std::find(refs.begin(), refs.end(), ref) == refs.end()) refs.push_back(ref);
            }
        }
        const std::vector<DeptRef> depts = tree.DeptsByUuid(ldap, refs);
        for (Found& f : page) {
            handed.insert(f.key);
            UserState user;
            const std::string parent = ParentDn(f.dn);
            if (tree.PathOf(parent)) user.home = parent;
            user.deptRefs = std::move(f.deptRefs);
            std::vector<std::string> paths = DeptPathsOf(user, depts, tree);
            if (!visit(UserMatch{std::move(f.account), std::move(f.name), std::move(paths)})) {
                return false;
            }
        }
        return true;
    };

    // Should the connection fail, the search starts again on another, and
    // the users already handed on are not handed on twice.
    tree.Service().Run(
        [&](LdapConnection& ldap) {
            // In the directory's order, a page at a time, so that a text
            // found in most of the directory costs what the visitor takes,
            // not the whole directory.
            std::string cookie;
            int size = kFirstPage;
            page.clear();
            ldap.SearchPage(tree.BaseDn(), Scope::kSubtree, filter, Attributes(), size, cookie,
                            keep);
            // The exact account first: from the first page, or, when it is
            // not there and more pages follow, from a search of its own.
            auto exact = std::find_if(page.begin(), page.end(),
                                      [&](const Found& f) { return f.key == lowered; });
            if (exact != page.end()) {
                std::rotate(page.begin(), exact, exact + 1);
            } else if (!cookie.empty() && !handed.contains(lowered)) {
                std::vector<Found> rest = std::move(page);
                page.clear();
                ldap.SearchEach(tree.BaseDn(), Scope::kSubtree,
                                "(&" + users + "(uid=" + escaped + "))", Attributes(), keep, 1);
                std::move(rest.begin(), rest.end(), std::back_inserter(page));
            }
            for (;;) {
                if (!handOn(ldap)) {
                    if (!cookie.empty()) {
                        ldap.SearchPage(tree.BaseDn(), Scope::kSubtree, filter, {}, 0, cookie,
                                        [](const EntryView&) { return true; });
                    }
                    return;
                }
                if (cookie.empty()) return;
                size = std::min(size * 2, kLargestPage);
                page.clear();
                ldap.SearchPage(tree.BaseDn(), Scope::kSubtree, filter, Attributes(), size, cookie,
                                keep);
            }
        },
        true);
}

}  // namespace warden::ldapdir

#include "ldapdir/LdapTree.h"

#include <ldap.h>

#include <algorithm>
#include <random>

#include "directory/BuiltIns.h"
#include "ldapdir/Dn.h"
#include "ldapdir/RightValue.h"
#include "protocol/SplitList.h"

namespace warden::ldapdir {

namespace {

constexpr const char kContainerRdn[] = "cn=warden";
constexpr const char kDeptFilter[] = "(objectClass=organizationalUnit)";
constexpr const char kRoleFilter[] = "(objectClass=wardenRole)";
// Tries of a compare-and-swap on the counter before giving up.
constexpr int kCounterTries = 100;

[[noreturn]] void NotFound(const std::string& what) {
    throw ImError(im_code::kNotFound, kErrorSource, what + " does not exist");
}

int64_t Integer(const std::string& text, int64_t fallback = 0) {
    if (text.empty()) return fallback;
    try {
        return std::stoll(text);
    } catch (...) {
        return fallback;
    }
}

// A password nobody is told.
std::string RandomSecret() {
    std::random_device random;
    std::string secret;
    for (int i = 0; i < 32; ++i) secret += "0123456789abcdefghijklmnopqrstuv"[random() % 32];
    return secret;
}

}  // namespace

std::vector<std::string> RoleAttributes() {
    return {"cn", "entryUUID", "wardenOrder", "description", "wardenRight", "wardenBuiltIn"};
}

RoleInfo ReadRole(const LdapEntry& entry) {
    RoleInfo role;
    role.dn = entry.dn;
    const auto rdns = ParseDn(entry.dn);
    role.name = rdns && !rdns->empty() ? rdns->front().value : entry.First("cn");
    role.uuid = LowerAscii(entry.First("entryUUID"));
    role.order = Integer(entry.First("wardenOrder"));
    role.description = entry.First("description");
    role.rights = entry.All("wardenRight");
    role.builtIn = entry.First("wardenBuiltIn") == "TRUE";
    return role;
}

LdapTree::LdapTree(const LdapSettings& settings)
    : m_service(settings, settings.connections, true),
      // Users' logins are few and throttled: a couple of connections serve them.
      m_binds(settings, 2, false),
      m_baseDn(settings.baseDn) {
    const auto base = ParseDn(m_baseDn);
    m_baseDepth = base ? base->size() : 0;
}

std::string LdapTree::ContainerDn() const {
    return std::string(kContainerRdn) + "," + m_baseDn;
}

std::string LdapTree::RoleDn(const std::string& name) const {
    return "cn=" + EscapeDnValue(name) + "," + ContainerDn();
}

void LdapTree::MakeContainer(LdapConnection& ldap) {
    const std::string container = ContainerDn();
    try {
        if (!ldap.Read(container, "(objectClass=*)", {})) {
            ldap.Add(container,
                     {{LdapChange::Op::kAdd, "objectClass", {"wardenDirectory"}},
                      {LdapChange::Op::kAdd, "cn", {"warden"}},
                      {LdapChange::Op::kAdd, "wardenNextUin", {std::to_string(kFirstUin)}}});
        }
    } catch (const LdapError& e) {
        // Another server made it meanwhile.
        if (e.LdapCode() == LDAP_ALREADY_EXISTS) return;
        if (e.LdapCode() == LDAP_UNDEFINED_TYPE || e.LdapCode() == LDAP_OBJECT_CLASS_VIOLATION ||
            e.LdapCode() == LDAP_INVALID_SYNTAX) {
            throw ImError(im_code::kFail, kErrorSource,
                          e.Description() +
                              "; the directory lacks Warden's schema: load "
                              "ldapdir/schema/warden.ldif (see the README)");
        }
        throw;
    }
}

std::string LdapTree::DecoyDn() const {
    return "cn=decoy," + ContainerDn();
}

void LdapTree::MakeDecoy(LdapConnection& ldap) {
    const std::string dn = DecoyDn();
    if (ldap.Read(dn, "(objectClass=*)", {})) return;
    try {
        ldap.Add(
            dn,
            {{LdapChange::Op::kAdd, "objectClass", {"applicationProcess", "simpleSecurityObject"}},
             {LdapChange::Op::kAdd, "cn", {"decoy"}},
             {LdapChange::Op::kAdd, "userPassword", {RandomSecret()}}});
    } catch (const LdapError& e) {
        if (e.LdapCode() == LDAP_ALREADY_EXISTS) return;
        throw;
    }
    // Set again so that the directory keeps it hashed by its policy.
    ldap.SetPassword(dn, RandomSecret());
}

void LdapTree::Ready() {
    if (m_ready.load(std::memory_order_acquire)) return;
    std::lock_guard lock(m_readyMutex);
    if (m_ready.load(std::memory_order_relaxed)) return;
    m_service.Run(
        [&](LdapConnection& ldap) {
            if (!ldap.Read(m_baseDn, "(objectClass=*)", {})) {
                throw ImError(im_code::kNotFound, kErrorSource,
                              "BASE_DN " + m_baseDn + " does not exist in the directory");
            }
            MakeContainer(ldap);
            MakeDecoy(ldap);
            struct BuiltIn {
                std::string_view name, description;
                int64_t order;
                bool everythingAllowed;
            };
            for (const BuiltIn& role :
                 {BuiltIn{kRoleUser, kRoleUserDescription, 1, false},
                  BuiltIn{kRoleAdministrator, kRoleAdministratorDescription, 2, true}}) {
                const std::string dn = RoleDn(std::string(role.name));
                if (ldap.Read(dn, kRoleFilter, {})) continue;
                std::vector<std::string> rights;
                for (const RightDefinition& right : kRights) {
                    const bool allow = role.everythingAllowed || right.defaultAllow;
                    rights.push_back(RightValue(std::string(right.identity), !allow, allow));
                }
                try {
                    ldap.Add(
                        dn, {{LdapChange::Op::kAdd, "objectClass", {"wardenRole"}},
                             {LdapChange::Op::kAdd, "cn", {std::string(role.name)}},
                             {LdapChange::Op::kAdd, "description", {std::string(role.description)}},
                             {LdapChange::Op::kAdd, "wardenRight", rights},
                             {LdapChange::Op::kAdd, "wardenBuiltIn", {"TRUE"}},
                             {LdapChange::Op::kAdd, "wardenOrder", {std::to_string(role.order)}}});
                } catch (const LdapError& e) {
                    if (e.LdapCode() != LDAP_ALREADY_EXISTS) throw;
                }
            }
        },
        true);
    m_ready.store(true, std::memory_order_release);
}

std::string LdapTree::DeptDn(std::string_view path) const {
    std::string dn;
    const std::vector<std::string> names = SplitList(path, "\\");
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        dn += "ou=" + EscapeDnValue(*it) + ",";
    }
    return dn + m_baseDn;
}

std::optional<std::string> LdapTree::PathOf(std::string_view dn) const {
    const auto rdns = ParseDn(dn);
    if (!rdns || rdns->size() <= m_baseDepth) return std::nullopt;
    std::string path;
    for (size_t i = rdns->size() - m_baseDepth; i-- > 0;) {
        const Rdn& rdn = (*rdns)[i];
        if (LowerAscii(rdn.type) != "ou") return std::nullopt;
        if (!path.empty()) path += '\\';
        path += rdn.value;
    }
    return path;
}

DeptRef LdapTree::RequireDept(std::string_view path, bool allowTop) {
    if (SplitList(path, "\\").empty()) {
        if (!allowTop) {
            throw ImError(im_code::kInvalidArgument, kErrorSource,
                          "no department named (empty path)");
        }
        return {m_baseDn, {}};
    }
    const std::string dn = DeptDn(path);
    auto found = m_service.Run(
        [&](LdapConnection& ldap) { return ldap.Read(dn, kDeptFilter, {"entryUUID"}); }, true);
    if (!found) NotFound("department \"" + std::string(path) + "\"");
    return {found->dn, LowerAscii(found->First("entryUUID"))};
}

std::vector<DeptRef> LdapTree::DeptsByUuid(const std::vector<std::string>& uuids) {
    if (uuids.empty()) return {};
    return m_service.Run([&](LdapConnection& ldap) { return DeptsByUuid(ldap, uuids); }, true);
}

std::vector<DeptRef> LdapTree::DeptsByUuid(LdapConnection& ldap,
                                           const std::vector<std::string>& uuids) const {
    if (uuids.empty()) return {};
    std::string filter = "(&" + std::string(kDeptFilter) + "(|";
    for (const std::string& uuid : uuids) filter += "(entryUUID=" + EscapeFilterValue(uuid) + ")";
    filter += "))";
    std::vector<DeptRef> found;
    ldap.SearchEach(m_baseDn, Scope::kSubtree, filter, {"entryUUID"}, [&](const EntryView& entry) {
        found.push_back({std::string(entry.Dn()), LowerAscii(entry.First("entryUUID"))});
        return true;
    });
    return found;
}

std::optional<LdapEntry> LdapTree::FindUser(const std::string& account,
                                            const std::vector<std::string>& attributes) {
    const std::string filter =
        "(&(objectClass=inetOrgPerson)(uid=" + EscapeFilterValue(account) + "))";
    auto entries = m_service.Run(
        [&](LdapConnection& ldap) {
            return ldap.Search(m_baseDn, Scope::kSubtree, filter, attributes, 2);
        },
        true);
    if (entries.empty()) return std::nullopt;
    if (entries.size() > 1) {
        throw ImError(im_code::kFail, kErrorSource,
                      "several entries below " + m_baseDn + " have uid " + account);
    }
    return std::move(entries.front());
}

std::vector<RoleInfo> LdapTree::Roles() {
    auto entries = m_service.Run(
        [&](LdapConnection& ldap) {
            return ldap.Search(ContainerDn(), Scope::kOneLevel, kRoleFilter, RoleAttributes());
        },
        true);
    std::vector<RoleInfo> roles;
    for (const LdapEntry& entry : entries) roles.push_back(ReadRole(entry));
    std::stable_sort(roles.begin(), roles.end(), [](const RoleInfo& a, const RoleInfo& b) {
        return a.order != b.order ? a.order < b.order : LowerAscii(a.name) < LowerAscii(b.name);
    });
    return roles;
}

std::optional<RoleInfo> LdapTree::FindRole(const std::string& name) {
    if (name.empty()) return std::nullopt;
    auto entry = m_service.Run(
        [&](LdapConnection& ldap) {
            return ldap.Read(RoleDn(name), kRoleFilter, RoleAttributes());
        },
        true);
    if (!entry) return std::nullopt;
    return ReadRole(*entry);
}

RoleInfo LdapTree::RequireRole(const std::string& name) {
    auto role = FindRole(name);
    if (!role) NotFound("role \"" + name + "\"");
    return *role;
}

int64_t LdapTree::TakeUin(int number) {
    const std::string container = ContainerDn();
    auto isTaken = [&](LdapConnection& ldap, int64_t uin) {
        return !ldap.Search(m_baseDn, Scope::kSubtree, "(wardenUin=" + std::to_string(uin) + ")",
                            {}, 1)
                    .empty();
    };
    return m_service.Run([&](LdapConnection& ldap) {
        for (int attempt = 0; attempt < kCounterTries; ++attempt) {
            auto counter = ldap.Read(container, "(objectClass=wardenDirectory)", {"wardenNextUin"});
            if (!counter) NotFound("the IM number counter " + container);
            const std::string current = counter->First("wardenNextUin");
            const int64_t next = Integer(current, kFirstUin);
            int64_t uin = number > 0 ? number : next;
            if (number > 0) {
                if (isTaken(ldap, uin)) {
                    throw ImError(im_code::kAlreadyExists, kErrorSource,
                                  "uin " + std::to_string(uin) + " is taken");
                }
                if (uin < next) return uin;
            } else {
                // Numbers of deleted users are never handed out again; skip
                // any that a caller chose explicitly.
                while (isTaken(ldap, uin)) ++uin;
            }
            // Compare and swap: the delete of the old value fails when another
            // server moved the counter meanwhile, and then this one tries again.
            std::vector<LdapChange> swap;
            if (!current.empty())
                swap.push_back({LdapChange::Op::kDelete, "wardenNextUin", {current}});
            swap.push_back({LdapChange::Op::kAdd, "wardenNextUin", {std::to_string(uin + 1)}});
            try {
                ldap.Modify(container, swap);
                return uin;
            } catch (const LdapError& e) {
                if (e.LdapCode() != LDAP_NO_SUCH_ATTRIBUTE &&
                    e.LdapCode() != LDAP_TYPE_OR_VALUE_EXISTS &&
                    e.LdapCode() != LDAP_CONSTRAINT_VIOLATION) {
                    throw;
                }
            }
        }
        throw ImError(im_code::kFail, kErrorSource, "the IM number counter is too busy");
    });
}

}  // namespace warden::ldapdir

#include "ldapdir/LdapConnection.h"

#include <ldap.h>
#include <sys/time.h>

#include <cstring>

#include "ldapdir/LdapError.h"
#include "ldapdir/TlsRefusal.h"

namespace warden::ldapdir {

namespace {

constexpr const char kPermissiveModify[] = "1.2.840.113556.1.4.1413";

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

timeval Timeval(int ms) {
    return timeval{ms / 1000, (ms % 1000) * 1000};
}

const std::vector<std::string>& NoValues() {
    static const std::vector<std::string> none;
    return none;
}

// The libldap form of a list of changes; owns what it points into.
class ModList {
  public:
    explicit ModList(const std::vector<LdapChange>& changes) {
        m_values.reserve(changes.size());
        m_mods.reserve(changes.size());
        for (const LdapChange& change : changes) {
            auto& values = m_values.emplace_back();
            for (const std::string& value : change.values) {
                values.push_back(berval{value.size(), const_cast<char*>(value.data())});
            }
            m_pointers.emplace_back();
            LDAPMod mod{};
            switch (change.op) {
                case LdapChange::Op::kAdd:
                    mod.mod_op = LDAP_MOD_ADD;
                    break;
                case LdapChange::Op::kDelete:
                    mod.mod_op = LDAP_MOD_DELETE;
                    break;
                case LdapChange::Op::kReplace:
                    mod.mod_op = LDAP_MOD_REPLACE;
                    break;
            }
            mod.mod_op |= LDAP_MOD_BVALUES;
            mod.mod_type = const_cast<char*>(change.type.c_str());
            m_mods.push_back(mod);
        }
        for (size_t i = 0; i < m_mods.size(); ++i) {
            for (berval& value : m_values[i]) m_pointers[i].push_back(&value);
            m_pointers[i].push_back(nullptr);
            // An empty list of values deletes or replaces the whole attribute.
            m_mods[i].mod_bvalues = m_values[i].empty() ? nullptr : m_pointers[i].data();
            m_list.push_back(&m_mods[i]);
        }
        m_list.push_back(nullptr);
    }
    LDAPMod** Get() { return m_list.data(); }

  private:
    std::vector<std::vector<berval>> m_values;
    std::vector<std::vector<berval*>> m_pointers;
    std::vector<LDAPMod> m_mods;
    std::vector<LDAPMod*> m_list;
};

}  // namespace

bool AttributeNameLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return LowerAscii(x) < LowerAscii(y);
    });
}

const std::string& LdapEntry::First(const std::string& name) const {
    static const std::string empty;
    auto it = attributes.find(name);
    return it == attributes.end() || it->second.empty() ? empty : it->second.front();
}

const std::vector<std::string>& LdapEntry::All(const std::string& name) const {
    auto it = attributes.find(name);
    return it == attributes.end() ? NoValues() : it->second;
}

LdapConnection::LdapConnection(const LdapSettings& settings, bool bindAsService)
    : m_uri(settings.uri), m_timeoutMs(settings.timeoutMs) {
    // No destructor runs for a constructor that throws: the handle, and the
    // socket it may hold, would be lost at every failed attempt.
    try {
        Open(settings, bindAsService);
    } catch (...) {
        if (m_ld) ldap_unbind_ext_s(m_ld, nullptr, nullptr);
        throw;
    }
}

void LdapConnection::Open(const LdapSettings& settings, bool bindAsService) {
    int rc = ldap_initialize(&m_ld, settings.uri.c_str());
    if (rc != LDAP_SUCCESS) throw LdapError(rc, settings.uri + ": connect");
    const int version = LDAP_VERSION3;
    ldap_set_option(m_ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(m_ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval timeout = Timeval(m_timeoutMs);
    ldap_set_option(m_ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(m_ld, LDAP_OPT_TIMEOUT, &timeout);
    const bool startTls = NeedsStartTls(settings.uri);
    if (startTls || settings.uri.rfind("ldaps:", 0) == 0 || settings.uri.rfind("LDAPS:", 0) == 0) {
        // A certificate that cannot be checked is never accepted.
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        ldap_set_option(m_ld, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        if (!settings.caFile.empty()) {
            ldap_set_option(m_ld, LDAP_OPT_X_TLS_CACERTFILE, settings.caFile.c_str());
        }
        const int client = 0;
        ldap_set_option(m_ld, LDAP_OPT_X_TLS_NEWCTX, &client);
        // Connected here rather than by the first operation, so that a
        // refused certificate is told from a directory that is down.
        rc = startTls ? ldap_start_tls_s(m_ld, nullptr, nullptr) : ldap_connect(m_ld);
        if (rc != LDAP_SUCCESS) {
            const std::string what =
                startTls ? "StartTLS (required for ldap:// to another machine)" : "TLS";
            const std::string why = ExplainTlsRefusal(settings);
            if (why.empty()) Fail(rc, what);
            throw LdapError(rc, m_uri + ": " + what, why);
        }
    }
    if (bindAsService) {
        rc = Bind(settings.bindDn, settings.bindPassword);
        if (rc != LDAP_SUCCESS) Fail(rc, "bind as " + settings.bindDn);
    }
}

LdapConnection::~LdapConnection() {
    if (m_ld) ldap_unbind_ext_s(m_ld, nullptr, nullptr);
}

void LdapConnection::Fail(int code, const std::string& what) {
    char* text = nullptr;
    std::string serverText;
    if (m_ld && ldap_get_option(m_ld, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) == LDAP_OPT_SUCCESS &&
        text) {
        serverText = text;
        ldap_memfree(text);
    }
    throw LdapError(code, m_uri + ": " + what, serverText);
}

std::vector<LdapEntry> LdapConnection::Search(const std::string& base, Scope scope,
                                              const std::string& filter,
                                              const std::vector<std::string>& attributes,
                                              int sizeLimit) {
    std::vector<char*> attrs;
    for (const std::string& a : attributes) attrs.push_back(const_cast<char*>(a.c_str()));
    // No attribute wanted: ask for none rather than for all of them.
    static char kNoAttributes[] = LDAP_NO_ATTRS;
    if (attrs.empty()) attrs.push_back(kNoAttributes);
    attrs.push_back(nullptr);
    const int ldapScope = scope == Scope::kBase       ? LDAP_SCOPE_BASE
                          : scope == Scope::kOneLevel ? LDAP_SCOPE_ONELEVEL
                                                      : LDAP_SCOPE_SUBTREE;
    timeval timeout = Timeval(m_timeoutMs);
    LDAPMessage* result = nullptr;
    const int rc = ldap_search_ext_s(m_ld, base.c_str(), ldapScope, filter.c_str(), attrs.data(), 0,
                                     nullptr, nullptr, &timeout, sizeLimit, &result);
    struct Free {
        LDAPMessage* m;
        ~Free() {
            if (m) ldap_msgfree(m);
        }
    } owner{result};
    // A search stopped by the size limit the caller set is not a failure.
    if (rc != LDAP_SUCCESS && !(rc == LDAP_SIZELIMIT_EXCEEDED && sizeLimit > 0)) {
        if (rc == LDAP_SIZELIMIT_EXCEEDED) {
            Fail(rc, "search below " + base +
                         " (the directory limits how many entries the bind account may read: "
                         "give it olcLimits size=unlimited)");
        }
        Fail(rc, "search below " + base);
    }
    std::vector<LdapEntry> entries;
    for (LDAPMessage* e = ldap_first_entry(m_ld, result); e; e = ldap_next_entry(m_ld, e)) {
        LdapEntry& entry = entries.emplace_back();
        if (char* dn = ldap_get_dn(m_ld, e)) {
            entry.dn = dn;
            ldap_memfree(dn);
        }
        BerElement* ber = nullptr;
        for (char* name = ldap_first_attribute(m_ld, e, &ber); name;
             name = ldap_next_attribute(m_ld, e, ber)) {
            auto& values = entry.attributes[name];
            if (berval** list = ldap_get_values_len(m_ld, e, name)) {
                for (berval** v = list; *v; ++v) values.emplace_back((*v)->bv_val, (*v)->bv_len);
                ldap_value_free_len(list);
            }
            ldap_memfree(name);
        }
        if (ber) ber_free(ber, 0);
    }
    return entries;
}

std::optional<LdapEntry> LdapConnection::Read(const std::string& dn, const std::string& filter,
                                              const std::vector<std::string>& attributes) {
    try {
        std::vector<LdapEntry> found = Search(dn, Scope::kBase, filter, attributes);
        if (found.empty()) return std::nullopt;
        return std::move(found.front());
    } catch (const LdapError& e) {
        if (e.LdapCode() == LDAP_NO_SUCH_OBJECT) return std::nullopt;
        throw;
    }
}

void LdapConnection::Add(const std::string& dn, const std::vector<LdapChange>& attributes) {
    ModList mods(attributes);
    const int rc = ldap_add_ext_s(m_ld, dn.c_str(), mods.Get(), nullptr, nullptr);
    if (rc != LDAP_SUCCESS) Fail(rc, "add " + dn);
}

void LdapConnection::Modify(const std::string& dn, const std::vector<LdapChange>& changes,
                            bool permissive) {
    if (changes.empty()) return;
    ModList mods(changes);
    LDAPControl control{const_cast<char*>(kPermissiveModify), {0, nullptr}, 0};
    LDAPControl* controls[] = {&control, nullptr};
    const int rc =
        ldap_modify_ext_s(m_ld, dn.c_str(), mods.Get(), permissive ? controls : nullptr, nullptr);
    if (rc != LDAP_SUCCESS) Fail(rc, "modify " + dn);
}

void LdapConnection::Rename(const std::string& dn, const std::string& newRdn,
                            const std::optional<std::string>& newParent) {
    const int rc = ldap_rename_s(m_ld, dn.c_str(), newRdn.c_str(),
                                 newParent ? newParent->c_str() : nullptr, 1, nullptr, nullptr);
    if (rc != LDAP_SUCCESS) Fail(rc, "rename " + dn);
}

void LdapConnection::Delete(const std::string& dn) {
    const int rc = ldap_delete_ext_s(m_ld, dn.c_str(), nullptr, nullptr);
    if (rc != LDAP_SUCCESS) Fail(rc, "delete " + dn);
}

void LdapConnection::SetPassword(const std::string& dn, const std::string& password) {
    berval user{dn.size(), const_cast<char*>(dn.data())};
    berval secret{password.size(), const_cast<char*>(password.data())};
    berval generated{0, nullptr};
    const int rc = ldap_passwd_s(m_ld, &user, nullptr, &secret, &generated, nullptr, nullptr);
    if (generated.bv_val) ber_memfree(generated.bv_val);
    if (rc != LDAP_SUCCESS) Fail(rc, "set the password of " + dn);
}

int LdapConnection::Bind(const std::string& dn, const std::string& password) {
    berval secret{password.size(), const_cast<char*>(password.data())};
    const int rc =
        ldap_sasl_bind_s(m_ld, dn.c_str(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr, nullptr);
    if (IsConnectionFailure(rc)) Fail(rc, "bind as " + dn);
    return rc;
}

}  // namespace warden::ldapdir

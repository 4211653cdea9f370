#include "ldapdir/LdapConnection.h"

#include <ldap.h>
#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "ldapdir/LdapError.h"
#include "ldapdir/TlsRefusal.h"

namespace warden::ldapdir {

namespace {

constexpr const char kPermissiveModify[] = "1.2.840.113556.1.4.1413";
constexpr int kReadAhead = 64 * 1024;

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

// Reads entries into one EntryView, whose buffers are kept from entry to
// entry, so that a long search allocates only what the library does.
class EntryDecoder {
  public:
    ~EntryDecoder() { Release(); }

    // False when the message is not a well-formed entry.
    bool Decode(LDAP* ld, LDAPMessage* entry) {
        Release();
        m_view.m_attributes.clear();
        m_view.m_values.clear();
        m_counts.clear();
        berval dn{0, nullptr};
        if (ldap_get_dn_ber(ld, entry, &m_ber, &dn) != LDAP_SUCCESS) return false;
        m_view.m_dn = std::string_view(dn.bv_val, dn.bv_len);
        for (;;) {
            berval name{0, nullptr};
            berval* values = nullptr;
            const int rc = ldap_get_attribute_ber(ld, entry, m_ber, &name, &values);
            if (values) m_arrays.push_back(values);
            if (rc != LDAP_SUCCESS) return false;
            if (!name.bv_val) break;
            size_t count = 0;
            for (berval* v = values; v && v->bv_val; ++v, ++count) {
                m_view.m_values.emplace_back(v->bv_val, v->bv_len);
            }
            m_counts.emplace_back(std::string_view(name.bv_val, name.bv_len), count);
        }
        // The spans once no value moves any more.
        size_t at = 0;
        for (const auto& [name, count] : m_counts) {
            m_view.m_attributes.push_back({name, {m_view.m_values.data() + at, count}});
            at += count;
        }
        return true;
    }
    const EntryView& View() const { return m_view; }

  private:
    void Release() {
        for (berval* values : m_arrays) ber_memfree(values);
        m_arrays.clear();
        if (m_ber) ber_free(m_ber, 0);
        m_ber = nullptr;
    }

    EntryView m_view;
    BerElement* m_ber = nullptr;
    std::vector<berval*> m_arrays;
    std::vector<std::pair<std::string_view, size_t>> m_counts;
};

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

std::string_view EntryView::First(std::string_view name) const {
    const auto values = All(name);
    return values.empty() ? std::string_view() : values.front();
}

std::span<const std::string_view> EntryView::All(std::string_view name) const {
    for (const Attribute& attribute : m_attributes) {
        if (attribute.name.size() == name.size() &&
            std::equal(name.begin(), name.end(), attribute.name.begin(),
                       [](char x, char y) { return LowerAscii(x) == LowerAscii(y); })) {
            return attribute.values;
        }
    }
    return {};
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
    const bool ldaps = settings.uri.rfind("ldaps:", 0) == 0 || settings.uri.rfind("LDAPS:", 0) == 0;
    if (startTls || ldaps) {
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
    } else {
        rc = ldap_connect(m_ld);
        if (rc != LDAP_SUCCESS) Fail(rc, "connect");
    }
    ReadAhead();
    if (bindAsService) {
        rc = Bind(settings.bindDn, settings.bindPassword);
        if (rc != LDAP_SUCCESS) Fail(rc, "bind as " + settings.bindDn);
    }
}

void LdapConnection::ReadAhead() {
    // libldap reads a connection without a buffer of its own: for every
    // message a read of its header, another of its body, and a poll before
    // them, so the thousands of entries of a department cost thousands of
    // system calls. A read-ahead layer between the socket and TLS (added
    // once the connection is open, so that it lies above the socket) reads
    // them in large pieces instead.
    Sockbuf* sb = nullptr;
    if (ldap_get_option(m_ld, LDAP_OPT_SOCKBUF, &sb) != LDAP_OPT_SUCCESS || !sb) {
        Fail(LDAP_LOCAL_ERROR, "read the connection's buffer");
    }
    int size = kReadAhead;
    if (ber_sockbuf_add_io(sb, &ber_sockbuf_io_readahead, LBER_SBIOD_LEVEL_PROVIDER, &size) != 0) {
        Fail(LDAP_NO_MEMORY, "buffer the connection");
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
    std::vector<LdapEntry> entries;
    SearchEach(
        base, scope, filter, attributes,
        [&](const EntryView& view) {
            LdapEntry& entry = entries.emplace_back();
            entry.dn = view.Dn();
            for (const EntryView::Attribute& attribute : view.Attributes()) {
                auto& values = entry.attributes[std::string(attribute.name)];
                values.insert(values.end(), attribute.values.begin(), attribute.values.end());
            }
            return true;
        },
        sizeLimit);
    return entries;
}

void LdapConnection::SearchEach(const std::string& base, Scope scope, const std::string& filter,
                                const std::vector<std::string>& attributes,
                                const EntryVisitor& visit, int sizeLimit) {
    RunSearch(base, scope, filter, attributes, visit, sizeLimit, nullptr, nullptr);
}

void LdapConnection::SearchPage(const std::string& base, Scope scope, const std::string& filter,
                                const std::vector<std::string>& attributes, int pageSize,
                                std::string& cookie, const EntryVisitor& visit) {
    // The control made by hand: libldap's own refuses the size 0 that ends
    // a search early.
    berval given{cookie.size(), cookie.data()};
    BerElement* ber = ber_alloc_t(LBER_USE_DER);
    berval value{0, nullptr};
    LDAPControl* control = nullptr;
    // Not critical: a directory without paging sends everything at once.
    const bool made =
        ber && ber_printf(ber, "{iO}", static_cast<ber_int_t>(pageSize), &given) != -1 &&
        ber_flatten2(ber, &value, 0) == 0 &&
        ldap_control_create(LDAP_CONTROL_PAGEDRESULTS, 0, &value, 1, &control) == LDAP_SUCCESS;
    if (ber) ber_free(ber, 1);
    if (!made) Fail(LDAP_NO_MEMORY, "ask for pages below " + base);
    struct Owner {
        LDAPControl* c;
        ~Owner() { ldap_control_free(c); }
    } owner{control};
    RunSearch(base, scope, filter, attributes, visit, 0, control, &cookie);
}

void LdapConnection::RunSearch(const std::string& base, Scope scope, const std::string& filter,
                               const std::vector<std::string>& attributes,
                               const EntryVisitor& visit, int sizeLimit, LDAPControl* control,
                               std::string* cookie) {
    std::vector<char*> attrs;
    for (const std::string& a : attributes) attrs.push_back(const_cast<char*>(a.c_str()));
    // No attribute wanted: ask for none rather than for all of them.
    static char kNoAttributes[] = LDAP_NO_ATTRS;
    if (attrs.empty()) attrs.push_back(kNoAttributes);
    attrs.push_back(nullptr);
    const int ldapScope = scope == Scope::kBase       ? LDAP_SCOPE_BASE
                          : scope == Scope::kOneLevel ? LDAP_SCOPE_ONELEVEL
                                                      : LDAP_SCOPE_SUBTREE;
    timeval limit = Timeval(m_timeoutMs);
    int id = 0;
    LDAPControl* controls[] = {control, nullptr};
    int rc = ldap_search_ext(m_ld, base.c_str(), ldapScope, filter.c_str(), attrs.data(), 0,
                             control ? controls : nullptr, nullptr, &limit, sizeLimit, &id);
    if (rc != LDAP_SUCCESS) Fail(rc, "search below " + base);

    struct Message {
        LDAPMessage* m = nullptr;
        ~Message() { Reset(); }
        void Reset() {
            if (m) ldap_msgfree(m);
            m = nullptr;
        }
    } message;
    const std::string what = "search below " + base;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeoutMs);
    EntryDecoder decoder;
    try {
        for (;;) {
            message.Reset();
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            timeval wait = Timeval(static_cast<int>(std::max<int64_t>(left.count(), 1)));
            const int type = ldap_result(m_ld, id, LDAP_MSG_ONE, &wait, &message.m);
            if (type == 0) Fail(LDAP_TIMEOUT, what);
            if (type < 0) {
                int code = LDAP_SERVER_DOWN;
                ldap_get_option(m_ld, LDAP_OPT_RESULT_CODE, &code);
                Fail(code, what);
            }
            if (type == LDAP_RES_SEARCH_RESULT) break;
            // References are skipped: referrals are not followed.
            if (type != LDAP_RES_SEARCH_ENTRY) continue;
            if (!decoder.Decode(m_ld, message.m)) Fail(LDAP_DECODING_ERROR, what);
            if (!visit(decoder.View())) {
                ldap_abandon_ext(m_ld, id, nullptr, nullptr);
                return;
            }
        }
    } catch (...) {
        // The rest of the answer is of no use to anyone.
        ldap_abandon_ext(m_ld, id, nullptr, nullptr);
        throw;
    }
    char* text = nullptr;
    LDAPControl** returned = nullptr;
    rc = LDAP_OTHER;
    const int parsed =
        ldap_parse_result(m_ld, message.m, &rc, nullptr, &text, nullptr, &returned, 0);
    if (text) ldap_memfree(text);
    if (cookie) {
        // No cookie back (or a directory without paging): that was the last page.
        cookie->clear();
        LDAPControl* page = ldap_control_find(LDAP_CONTROL_PAGEDRESULTS, returned, nullptr);
        berval next{0, nullptr};
        ber_int_t estimate = 0;
        if (page && ldap_parse_pageresponse_control(m_ld, page, &estimate, &next) == LDAP_SUCCESS &&
            next.bv_val) {
            cookie->assign(next.bv_val, next.bv_len);
            ber_memfree(next.bv_val);
        }
    }
    if (returned) ldap_controls_free(returned);
    if (parsed != LDAP_SUCCESS) Fail(parsed, what);
    // A search stopped by the size limit the caller set is not a failure.
    if (rc != LDAP_SUCCESS && !(rc == LDAP_SIZELIMIT_EXCEEDED && sizeLimit > 0)) {
        if (rc == LDAP_SIZELIMIT_EXCEEDED) {
            Fail(rc, "search below " + base +
                         " (the directory limits how many entries the bind account may read: "
                         "give it olcLimits size=unlimited)");
        }
        Fail(rc, what);
    }
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

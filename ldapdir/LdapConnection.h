// One connection to the LDAP directory, over OpenLDAP's client library:
// opened with the settings (StartTLS where the URI needs it), bound as the
// service account unless told otherwise, and the few operations the
// back-end uses, each waiting at most the configured time. Every failure
// throws LdapError.
//
// Thread-safety: none; one thread at a time (the pool hands it out).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ldapdir/LdapSettings.h"

typedef struct ldap LDAP;
typedef struct ldapcontrol LDAPControl;

namespace warden::ldapdir {

// Attribute names compare without regard to ASCII case, as LDAP's do.
struct AttributeNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct LdapEntry {
    std::string dn;
    std::map<std::string, std::vector<std::string>, AttributeNameLess> attributes;

    // The first value of `name`, or empty.
    const std::string& First(const std::string& name) const;
    // Every value of `name`, in the order the directory gave them.
    const std::vector<std::string>& All(const std::string& name) const;
};

// One entry of a search as the directory sent it, read without copies: the
// DN, names and values point into the library's message and live only while
// the visitor that gets the view runs.
class EntryView {
  public:
    struct Attribute {
        std::string_view name;
        std::span<const std::string_view> values;
    };

    std::string_view Dn() const { return m_dn; }
    const std::vector<Attribute>& Attributes() const { return m_attributes; }
    // The first value of `name` (any ASCII case), or empty.
    std::string_view First(std::string_view name) const;
    // Every value of `name`, in the order the directory gave them.
    std::span<const std::string_view> All(std::string_view name) const;

  private:
    friend class EntryDecoder;
    std::string_view m_dn;
    std::vector<Attribute> m_attributes;
    std::vector<std::string_view> m_values;  // every attribute's, in turn
};

// Returns false to end the search there: the rest is abandoned.
using EntryVisitor = std::function<bool(const EntryView&)>;

struct LdapChange {
    enum class Op { kAdd, kDelete, kReplace };
    Op op;
    std::string type;
    std::vector<std::string> values;  // kDelete without values: the whole attribute
};

enum class Scope { kBase, kOneLevel, kSubtree };

class LdapConnection {
  public:
    // Connects; binds as the settings' account when `bindAsService`. Throws.
    LdapConnection(const LdapSettings& settings, bool bindAsService);
    ~LdapConnection();
    LdapConnection(const LdapConnection&) = delete;
    LdapConnection& operator=(const LdapConnection&) = delete;

    // Entries found; `sizeLimit` 0 takes the directory's limit.
    std::vector<LdapEntry> Search(const std::string& base, Scope scope, const std::string& filter,
                                  const std::vector<std::string>& attributes, int sizeLimit = 0);
    // The same search, each entry handed to `visit` as it arrives, while the
    // directory is still sending the next ones: for long lists, which are
    // then neither copied nor held whole, and for searches that may end
    // early.
    void SearchEach(const std::string& base, Scope scope, const std::string& filter,
                    const std::vector<std::string>& attributes, const EntryVisitor& visit,
                    int sizeLimit = 0);
    // One page of a paged search (RFC 2696): at most `pageSize` entries,
    // from where `cookie` left off (empty: the first page); `cookie` then
    // holds where the next page starts, empty after the last. A directory
    // that cannot page sends every entry in the first. `pageSize` 0 with a
    // cookie ends the search early and frees what the directory keeps for
    // it. The pages of one search must come from one connection.
    void SearchPage(const std::string& base, Scope scope, const std::string& filter,
                    const std::vector<std::string>& attributes, int pageSize, std::string& cookie,
                    const EntryVisitor& visit);
    // The entry at `dn` if it exists and matches `filter`.
    std::optional<LdapEntry> Read(const std::string& dn, const std::string& filter,
                                  const std::vector<std::string>& attributes);
    void Add(const std::string& dn, const std::vector<LdapChange>& attributes);
    // `permissive`: adding a value already there, or deleting one that is
    // not, is no error (the directory's permissive-modify control).
    void Modify(const std::string& dn, const std::vector<LdapChange>& changes,
                bool permissive = false);
    // New RDN `newRdn` (the old one removed); under `newParent` when given.
    void Rename(const std::string& dn, const std::string& newRdn,
                const std::optional<std::string>& newParent);
    void Delete(const std::string& dn);
    // The Password Modify extended operation: the directory hashes the
    // password with its own policy.
    void SetPassword(const std::string& dn, const std::string& password);
    // A simple bind as `dn`: the LDAP result code (LDAP_SUCCESS, or
    // LDAP_INVALID_CREDENTIALS for a wrong password); throws only when the
    // directory cannot be asked. The connection then speaks for `dn`.
    int Bind(const std::string& dn, const std::string& password);

  private:
    void Open(const LdapSettings& settings, bool bindAsService);
    void ReadAhead();
    // `control`, when given, goes with the search; `cookie`, when given,
    // receives the paged-results cookie of the answer.
    void RunSearch(const std::string& base, Scope scope, const std::string& filter,
                   const std::vector<std::string>& attributes, const EntryVisitor& visit,
                   int sizeLimit, LDAPControl* control, std::string* cookie);
    [[noreturn]] void Fail(int code, const std::string& what);

    LDAP* m_ld = nullptr;
    std::string m_uri;  // named in every error
    int m_timeoutMs;
};

}  // namespace warden::ldapdir

// Distinguished names and search filters made from the names callers use,
// and read back: escaping (so any department, account or role name is one
// value of one RDN, and one value in a filter) and parsing.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace warden::ldapdir {

// `value` escaped for an RDN value (RFC 4514).
std::string EscapeDnValue(std::string_view value);

// `value` escaped for an assertion value in a filter (RFC 4515).
std::string EscapeFilterValue(std::string_view value);

struct Rdn {
    std::string type;   // as written, e.g. "ou"
    std::string value;  // unescaped
};

// The RDNs of `dn`, the entry's own first; nullopt when it does not parse.
// An RDN of several values gives its first.
std::optional<std::vector<Rdn>> ParseDn(std::string_view dn);

// A form of `dn` in which two names of the same entry are equal: parsed and
// put together again with ASCII letters in lower case (the attributes that
// name departments, users and roles compare without regard to case).
std::string DnKey(std::string_view dn);

// The parent of `dn` (everything after its first RDN); empty for a DN of
// one RDN.
std::string ParentDn(std::string_view dn);

}  // namespace warden::ldapdir

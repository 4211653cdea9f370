// How the server reaches an LDAP directory: server.cfg [DIRECTORY] with
// BACKEND=ldap. The bind password is a secret: it never appears in a message.
#pragma once

#include <string>

namespace warden::ldapdir {

struct LdapSettings {
    // ldaps://host[:port], ldap://host[:port] (StartTLS, required unless the
    // host is a loopback address) or ldapi://path (a local socket).
    std::string uri;
    std::string bindDn;        // the account Warden works as
    std::string bindPassword;  // its password
    std::string baseDn;        // the organisation: departments, users, roles
    int connections = 4;       // connections working for requests at once
    int timeoutMs = 10'000;    // longest wait for the directory, per operation
    std::string caFile;        // trusted certificates (PEM); empty: the system's
};

// Why `settings` cannot be used (a URI of another scheme, a plain connection
// to another machine, a missing value); empty when they can.
std::string CheckLdapSettings(const LdapSettings& settings);

// Whether `uri` is ldap:// to a host other than a loopback address, where
// the connection must be raised to TLS with StartTLS before the bind.
bool NeedsStartTls(const std::string& uri);

}  // namespace warden::ldapdir

// A throw-away OpenLDAP server for tests: a cn=config and an mdb database in
// a temporary folder, made with slapadd from the shipped schema (the
// cn=config form), on a free loopback port, run under the unprivileged
// account "openldap" (which Debian's package creates) when the tests run as
// root. It is stopped, and its folder removed, when the object goes; should
// the test program die first, the kernel stops it.
//
// The database holds the suffix dc=test and Warden's bind account, with the
// access rules and limits the README gives such an account: write below the
// suffix, nothing else. Each test takes an organisation of its own below it.
//
// Given a certificate it also serves TLS: ldaps:// on a port of its own, and
// ldap:// with StartTLS on another, under a name of this machine that is not
// a loopback address's, as a directory on another machine would be reached.
//
// Thread-safety: none; one test thread at a time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "ldapdir/LdapSettings.h"
#include "tests/support/TestCertificates.h"

namespace warden::test {

struct SlapdTls {
    TestIdentity identity;     // the server's certificate and key
    std::string startTlsHost;  // the host name the StartTLS listener is bound to
};

class SlapdServer {
  public:
    // Starts the server; Running() or Problem() tells how it went. `load`, an
    // LDIF of entries below the suffix, is put in with slapadd first.
    explicit SlapdServer(const std::filesystem::path& load = {},
                         const std::optional<SlapdTls>& tls = std::nullopt);
    ~SlapdServer();
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    bool Running() const { return m_pid > 0; }
    // Why the server is not running; empty while it runs.
    const std::string& Problem() const { return m_problem; }
    int Pid() const { return m_pid; }
    // The plain listener on 127.0.0.1, which the tests' own writes use.
    std::string Uri() const;
    // With TLS: ldaps://127.0.0.1:port, and ldap://startTlsHost:port.
    std::string LdapsUri() const;
    std::string StartTlsUri() const;

    // A new, empty organisation below the suffix, and the settings Warden
    // works on it with. Throws std::runtime_error (with Problem()) when the
    // server is not running.
    ldapdir::LdapSettings CreateBase();

    // The directory's own administrator, who passes every access rule.
    ldapdir::LdapSettings RootSettings() const;

  private:
    bool Start(const std::filesystem::path& load, const std::optional<SlapdTls>& tls);
    std::string Listeners() const;
    void Stop();

    std::filesystem::path m_dir;
    std::string m_rootPassword;
    std::string m_bindPassword;
    int m_port = 0;
    int m_ldapsPort = 0;
    int m_startTlsPort = 0;
    std::string m_startTlsHost;
    int m_pid = -1;
    int m_bases = 0;
    std::string m_problem;
};

// The one server of a test program that links SlapdEnvironment.cpp, started
// before its first test and stopped after its last. A program that cannot
// start it fails every test that asks for it, saying why.
SlapdServer& SharedSlapd();

}  // namespace warden::test

// The server reaches an LDAP directory over TLS: ldaps://, and ldap:// to
// another machine raised with StartTLS. It starts only when the directory's
// certificate is signed by a CA it trusts (CA_FILE) and names the host it
// dialled; otherwise it says why and does not start. The directory is a
// throw-away slapd with a certificate from a throw-away CA; "another machine"
// is this machine's own name, which resolves to a loopback address but is
// not one, so the server must raise the connection with StartTLS.
#include <gtest/gtest.h>
#include <netdb.h>
#include <unistd.h>

#include <fstream>
#include <vector>

#include "tests/support/ServerProcess.h"
#include "tests/support/SlapdServer.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

// This machine's name when it resolves to loopback addresses only (Debian's
// /etc/hosts maps it to 127.0.1.1); otherwise empty, and `problem` says why.
std::string LoopbackHostName(std::string& problem) {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        problem = "this machine has no name";
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) {
        problem = std::string("this machine's name \"") + name + "\" does not resolve";
        return {};
    }
    bool loopback = true;
    for (addrinfo* a = found; a; a = a->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
        loopback = loopback && (ntohl(address->sin_addr.s_addr) >> 24) == 127;
    }
    ::freeaddrinfo(found);
    if (!loopback) {
        problem = std::string("this machine's name \"") + name +
                  "\" resolves to an address other than a loopback one; the StartTLS test needs "
                  "a name of this machine that only reaches it";
        return {};
    }
    return name;
}

std::string DirectoryConfig(const ldapdir::LdapSettings& ldap, const std::string& uri,
                            const std::string& caFile) {
    return "[DIRECTORY]\nBACKEND=ldap\nURI=" + uri + "\nBIND_DN=" + ldap.bindDn +
           "\nBIND_PASSWORD=" + ldap.bindPassword + "\nBASE_DN=" + ldap.baseDn +
           "\nCA_FILE=" + caFile + "\n";
}

TEST(LdapTlsE2eTest, StartsOnlyOnACertificateOfATrustedCaForTheNameDialled) {
    std::string problem;
    const std::string host = LoopbackHostName(problem);
    ASSERT_FALSE(host.empty()) << problem;
    const TestCa ca;
    const TestCa stranger;
    SlapdServer slapd({}, SlapdTls{ca.Issue({"127.0.0.1", host}), host});
    ASSERT_TRUE(slapd.Running()) << slapd.Problem();
    // The client library checks "localhost" as this machine's name, so
    // another name is a directory of its own.
    SlapdServer elsewhere({}, SlapdTls{ca.Issue({"ldap.elsewhere.test"}), host});
    ASSERT_TRUE(elsewhere.Running()) << elsewhere.Problem();
    SlapdServer plainOnly;
    ASSERT_TRUE(plainOnly.Running()) << plainOnly.Problem();

    TempDir files;
    const std::string trusted = (files.Path() / "ca.pem").string();
    const std::string other = (files.Path() / "other-ca.pem").string();
    std::ofstream(trusted) << ca.CertificatePem();
    std::ofstream(other) << stranger.CertificatePem();
    const std::string startTlsWithoutTls =
        "ldap://" + host + plainOnly.Uri().substr(plainOnly.Uri().rfind(':'));

    // A refusal names the URI, what is wrong, and that the start failed.
    const struct {
        const char* what;
        SlapdServer& directory;
        std::string uri;
        std::string caFile;
        std::vector<std::string> says;  // in the refusal; empty: the server starts
    } cases[] = {
        {"ldaps", slapd, slapd.LdapsUri(), trusted, {}},
        {"StartTLS", slapd, slapd.StartTlsUri(), trusted, {}},
        {"ldaps, another CA",
         slapd,
         slapd.LdapsUri(),
         other,
         {slapd.LdapsUri(), "is not signed by a CA that [DIRECTORY] CA_FILE " + other,
          "连接VEX服务器失败"}},
        {"StartTLS, another CA",
         slapd,
         slapd.StartTlsUri(),
         other,
         {slapd.StartTlsUri() + ": StartTLS", "is not signed by a CA", "连接VEX服务器失败"}},
        {"ldaps, another name",
         elsewhere,
         elsewhere.LdapsUri(),
         trusted,
         {elsewhere.LdapsUri(), "certificate is for ldap.elsewhere.test, not for 127.0.0.1",
          "连接VEX服务器失败"}},
        {"StartTLS, another name",
         elsewhere,
         elsewhere.StartTlsUri(),
         trusted,
         {elsewhere.StartTlsUri(), "certificate is for ldap.elsewhere.test, not for " + host,
          "连接VEX服务器失败"}},
        {"StartTLS to a directory without TLS",
         plainOnly,
         startTlsWithoutTls,
         trusted,
         {startTlsWithoutTls + ": StartTLS", "连接VEX服务器失败"}},
        {"a CA file that is not there",
         slapd,
         slapd.LdapsUri(),
         (files.Path() / "missing.pem").string(),
         {"CA_FILE", "missing.pem"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ldapdir::LdapSettings ldap = c.directory.CreateBase();
        ServerProcess server(DirectoryConfig(ldap, c.uri, c.caFile));
        if (c.says.empty()) {
            ASSERT_TRUE(server.Started()) << server.ErrorOutput();
            Client admin(server.Port());
            ASSERT_TRUE(admin.LoginAsAdmin());
            EXPECT_EQ(admin.Ask("DeptAdd.asp?deptid=销售部`parentdept="), "info:添加部门成功");
            EXPECT_EQ(admin.Ask("GetChildDepts.asp?deptId="), "销售部");
            continue;
        }
        EXPECT_FALSE(server.Started());
        EXPECT_NE(server.ExitCode(), 0);
        const std::string errors = server.ErrorOutput();
        for (const std::string& word : c.says) {
            EXPECT_NE(errors.find(word), std::string::npos) << word << " in " << errors;
        }
    }
}

}  // namespace
}  // namespace warden::test

// Trust on first use and by the system's CA store, on real TLS connections
// to a fake server: what is asked, what is stored in client.cfg, and that a
// refused connection carries nothing, not even the login.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "console/core/ClientConfig.h"
#include "console/core/ConsoleTransport.h"
#include "console/core/LoginLogic.h"
#include "console/core/ServerTrust.h"
#include "tests/console/FakeServer.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using warden::test::TestIdentity;

class ServerTrustTest : public ::testing::Test {
  protected:
    ServerTrustTest() { m_transport.SetCertificateJudge(&m_trust); }
    ~ServerTrustTest() override { ::unsetenv("SSL_CERT_FILE"); }

    // Logs in as the console does; false when the login did not complete.
    bool LogIn(const FakeServer& server, const std::string& address = "127.0.0.1") {
        LoginLogic login(m_transport, m_sink, m_state, m_dir.Path());
        return login.Press({address, std::to_string(server.Port()), "admin", "pw"}).success;
    }
    std::map<std::string, std::string> Trusted() {
        return ReadClientConfig(m_dir.Path() / kClientConfigName).value_or(ClientConfig{}).trusted;
    }
    static FakeServer::Script Answers() {
        return [](const std::string& request) {
            return FakeServer::Reply(request.rfind("LoginCheck", 0) == 0 ? "success|1" : " ");
        };
    }

    warden::test::TempDir m_dir;
    FakeSink m_sink;
    FakeTrustPrompt m_prompt;
    ServerTrust m_trust{m_dir.Path() / kClientConfigName, m_prompt, m_sink};
    ConsoleTransport m_transport{m_sink};
    LoginState m_state;
};

// Declined: nothing stored, nothing sent. Accepted: stored, and not asked
// again.
TEST_F(ServerTrustTest, FirstUseAsksWithTheFingerprintAndStoresOnlyAYes) {
    const TestIdentity identity = warden::test::MakeSelfSigned({"127.0.0.1"});
    FakeServer server(Answers(), &identity);
    const std::string key = "127.0.0.1:" + std::to_string(server.Port());
    m_prompt.trust = false;
    EXPECT_FALSE(LogIn(server));
    EXPECT_TRUE(Trusted().empty());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(m_transport.Connected());

    m_prompt.trust = true;
    ASSERT_TRUE(LogIn(server));
    EXPECT_EQ(m_prompt.asked, (std::vector<std::pair<std::string, std::string>>(
                                  2, std::make_pair(key, identity.fingerprint))));
    EXPECT_EQ(Trusted(), (std::map<std::string, std::string>{{key, identity.fingerprint}}));
    ASSERT_TRUE(LogIn(server));
    EXPECT_EQ(m_prompt.asked.size(), 2u);
    EXPECT_TRUE(m_prompt.refused.empty());
    EXPECT_TRUE(m_sink.shown.empty());  // the answers were the user's own
}

// The attack the pinning is for: another certificate on the same address and
// port. Refused naming both, with the login (and its password) never sent;
// also when a CA vouches for the new one.
TEST_F(ServerTrustTest, ChangedCertificateIsRefusedNamingBothAndNothingIsSent) {
    const TestIdentity first = warden::test::MakeSelfSigned({"localhost"});
    FakeServer server(Answers(), &first);
    ASSERT_TRUE(LogIn(server, "localhost"));
    const size_t sent = server.Requests().size();

    warden::test::TestCa ca;
    std::ofstream(m_dir.Path() / "ca.pem") << ca.CertificatePem();
    ::setenv("SSL_CERT_FILE", (m_dir.Path() / "ca.pem").c_str(), 1);
    const TestIdentity other = warden::test::MakeSelfSigned({"localhost"});
    const TestIdentity signed_ = ca.Issue({"localhost"});
    for (const TestIdentity* now : {&other, &signed_}) {
        server.UseIdentity(*now);
        m_prompt.refused.clear();
        EXPECT_FALSE(LogIn(server, "LOCALHOST"));
        ASSERT_EQ(m_prompt.refused.size(), 1u);
        const FakeTrustPrompt::Refusal& refusal = m_prompt.refused[0];
        EXPECT_EQ(refusal.server, "LOCALHOST:" + std::to_string(server.Port()));
        EXPECT_EQ(refusal.trusted, first.fingerprint);
        EXPECT_EQ(refusal.presented, now->fingerprint);
        EXPECT_EQ(refusal.caSigned, now == &signed_);
        EXPECT_EQ(server.Requests().size(), sent);
        EXPECT_EQ(m_transport.SendRequest("GetChildDepts.asp", "deptId="), "");
        EXPECT_EQ(server.Requests().size(), sent);
    }
    EXPECT_EQ(m_prompt.asked.size(), 1u);  // never offered as a first use again
    EXPECT_EQ(Trusted().begin()->second, first.fingerprint);
}

// Accepted without a question only for the name it was made for; not stored,
// so the site may renew it at will.
TEST_F(ServerTrustTest, CertificateTheCaValidatesForTheNameIsAcceptedWithoutAsking) {
    warden::test::TestCa ca;
    std::ofstream(m_dir.Path() / "ca.pem") << ca.CertificatePem();
    ::setenv("SSL_CERT_FILE", (m_dir.Path() / "ca.pem").c_str(), 1);
    const TestIdentity identity = ca.Issue({"localhost"});
    FakeServer server(Answers(), &identity);
    ASSERT_TRUE(LogIn(server, "localhost"));
    EXPECT_TRUE(m_prompt.asked.empty());
    EXPECT_TRUE(Trusted().empty());

    m_prompt.trust = false;
    EXPECT_FALSE(LogIn(server, "127.0.0.1"));  // not the name it was made for: asked
    EXPECT_EQ(m_prompt.asked.size(), 1u);
}

}  // namespace
}  // namespace warden::console::test

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "console/core/ConsoleSocket.h"
#include "console/core/ConsoleTransport.h"
#include "protocol/LengthFraming.h"
#include "tests/console/FakeServer.h"
#include "tests/console/FakeTransport.h"
#include "tests/support/TempDir.h"

namespace warden::console::test {
namespace {

using Clock = std::chrono::steady_clock;

struct CountingWaits : WaitObserver {
    int begins = 0, ends = 0, still = 0;
    void WaitBegins() override { ++begins; }
    void StillWaiting() override { ++still; }
    void WaitEnds() override { ++ends; }
};

const warden::test::TestIdentity& ServerIdentity() {
    static const warden::test::TestIdentity identity = warden::test::MakeSelfSigned({"127.0.0.1"});
    return identity;
}

// A transport connected to a fake server that answers every request as the
// test's script says, on the plain port or over TLS.
struct Fixture {
    explicit Fixture(FakeServer::Script script, TransportOptions options = {},
                     WireSecurity wire = WireSecurity::kPlain)
        : security(wire),
          server(std::move(script), wire == WireSecurity::kTls ? &ServerIdentity() : nullptr),
          transport(sink, options) {
        transport.SetWaitObserver(&waits);
        transport.SetCertificateJudge(&judge);
        connected = Reconnect();
    }
    bool Reconnect() {
        return transport.OpenConnection("127.0.0.1", std::to_string(server.Port()), security);
    }
    WireSecurity security;
    FakeSink sink;
    CountingWaits waits;
    AcceptAnyCertificate judge;
    FakeServer server;
    ConsoleTransport transport;
    bool connected = false;
};

// What both ports must do alike.
class BothPorts : public ::testing::TestWithParam<WireSecurity> {
  protected:
    WireSecurity Wire() const { return GetParam(); }
};

TEST_P(BothPorts, RequestGoesOutAsNameQuestionMarkParamsInGbk) {
    Fixture f([](const std::string&) { return FakeServer::Reply("销售部,研发部"); }, {}, Wire());
    ASSERT_TRUE(f.connected);
    EXPECT_EQ(f.transport.SendRequest("GetChildDepts.asp", "deptId=\\总部"), "销售部,研发部");
    EXPECT_EQ(f.transport.SendRequest("GetChildDepts.asp", "deptId="), "销售部,研发部");
    EXPECT_EQ(f.server.Requests(), (std::vector<std::string>{"GetChildDepts.asp?deptId=\\总部",
                                                             "GetChildDepts.asp?deptId="}));
    EXPECT_EQ(f.waits.begins, f.waits.ends);
    EXPECT_TRUE(f.sink.shown.empty());
}

// The status bar names what the transport reports, not what was asked for.
TEST_P(BothPorts, ReportsWhatCarriesTheConnectionWhileThereIsOne) {
    Fixture f([](const std::string&) { return FakeServer::Reply("ok"); }, {}, Wire());
    ASSERT_TRUE(f.connected);
    std::optional<ConnectionInfo> info = f.transport.Connection();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->security, Wire());
    if (Wire() == WireSecurity::kTls) {
        EXPECT_EQ(info->protocol, "TLSv1.3");
        EXPECT_EQ(info->cipher.rfind("TLS_", 0), 0u) << info->cipher;
        EXPECT_EQ(info->fingerprint, ServerIdentity().fingerprint);
        EXPECT_FALSE(info->caVerified);  // self-signed: the judge took it
    } else {
        EXPECT_EQ(info->protocol + info->cipher + info->fingerprint, "");
    }
    f.transport.Disconnect();
    EXPECT_FALSE(f.transport.Connection().has_value());
}

TEST_P(BothPorts, RequestsLongerThanTheOldSendBufferGoOutWhole) {
    Fixture f(
        [](const std::string& request) {
            return FakeServer::Reply(std::to_string(request.size()));
        },
        {}, Wire());
    std::string params = "username=" + std::string(5000, 'u');
    EXPECT_EQ(f.transport.SendRequest("GetUserBInfo.asp", params),
              std::to_string(std::string("GetUserBInfo.asp?").size() + params.size()));
}

// Replies around the 1024-byte piece, including exact multiples, which end
// with a full piece and no short read after it.
TEST_P(BothPorts, RepliesOfEveryLengthAroundThePieceSizeArriveWholeAndPromptly) {
    std::string reply;
    Fixture f([&reply](const std::string&) { return FakeServer::Reply(reply); }, {}, Wire());
    for (size_t length : {1u, 1023u, 1024u, 1025u, 2047u, 2048u, 2049u, 5120u, 65536u}) {
        reply.assign(length, 'x');
        reply[length - 1] = 'y';
        auto start = Clock::now();
        std::string got = f.transport.SendRequest("GetDeptUsers.asp", "deptId=\\a");
        auto took = Clock::now() - start;
        EXPECT_EQ(got, reply) << length;
        EXPECT_LT(took, std::chrono::seconds(2)) << length;  // never the 30-second time-out
    }
    EXPECT_TRUE(f.sink.shown.empty());
}

TEST(ConsoleTransportTest, ZeroByteEndsTheReplyText) {
    Fixture f([](const std::string&) { return FakeServer::Raw(std::string("abc\0def", 7)); });
    EXPECT_EQ(f.transport.SendRequest("GetAdminList.asp", ""), "abc");
}

TEST_P(BothPorts, SilentServerTimesOutWithTheMessageAndAnEmptyReply) {
    TransportOptions quick;
    quick.maxWaits = 5;
    Fixture f([](const std::string&) { return FakeServer::Silent(); }, quick, Wire());
    EXPECT_EQ(f.transport.SendRequest("GetAllRoles.asp", ""), "");
    ASSERT_EQ(f.sink.shown.size(), 1u);
    EXPECT_EQ(f.sink.shown[0].text, "接收数据超时");
    EXPECT_EQ(f.sink.shown[0].caption, "warden-console");
    EXPECT_EQ(f.sink.shown[0].icon, MessageIcon::kWarning);
    EXPECT_GE(f.waits.still, 4);  // the window was given its turns while waiting
    EXPECT_TRUE(f.transport.Connected());
}

TEST_P(BothPorts, LateReplyOfATimedOutRequestIsNotTakenForTheNextOne) {
    TransportOptions quick;
    quick.maxWaits = 5;
    int asked = 0;
    Fixture f(
        [&asked](const std::string&) {
            // Ten times the 50 ms the transport waits, so that a loaded
            // machine's late timers cannot let the first reply come in time.
            return ++asked == 1 ? FakeServer::Reply("first", 500) : FakeServer::Reply("second");
        },
        quick, Wire());
    EXPECT_EQ(f.transport.SendRequest("A.asp", ""), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(f.transport.SendRequest("B.asp", ""), "second");
}

TEST_P(BothPorts, ServerClosingIsReportedAtOnceAndOnlyOnce) {
    Fixture f(
        [](const std::string& request) {
            return request.rfind("Bye", 0) == 0 ? FakeServer::Close() : FakeServer::Reply("ok");
        },
        {}, Wire());
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");
    auto start = Clock::now();
    EXPECT_EQ(f.transport.SendRequest("Bye.asp", ""), "");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(f.sink.Texts(), std::vector<std::string>{"与服务器的连接已断开"});
}

TEST_P(BothPorts, ServerThatClosedWhileIdleIsNoticedBeforeSending) {
    Fixture f([](const std::string&) { return FakeServer::Reply("ok"); }, {}, Wire());
    int losses = 0;
    f.transport.SetLostHandler([&losses] { ++losses; });
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");
    EXPECT_TRUE(f.transport.CheckConnection());
    f.server.CloseClients();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Noticed without a request, and without a word: the caller reports it.
    EXPECT_FALSE(f.transport.CheckConnection());
    EXPECT_EQ(losses, 0);
    ASSERT_TRUE(f.Reconnect());
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");  // the server has it now
    f.server.CloseClients();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The loss, then each request made without a connection, goes to the
    // handler; nothing is shown by the transport itself.
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(losses, 1);
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(losses, 2);
    EXPECT_TRUE(f.sink.shown.empty());
    EXPECT_TRUE(f.sink.questions.empty());
    EXPECT_EQ(f.server.Requests().size(), 2u);
    EXPECT_FALSE(f.transport.CheckConnection());

    // Logging in again makes a working connection.
    ASSERT_TRUE(f.Reconnect());
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");

    // Given up on purpose: closed without a word, and then reported like a loss.
    f.transport.Disconnect();
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_EQ(losses, 2);
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(losses, 3);
    EXPECT_EQ(f.server.Requests().size(), 3u);
}

// A login the server ended is a loss once the console is logged in; during
// the login itself the text is the reply, which the login shows.
TEST_P(BothPorts, ALoginTheServerEndedGoesToTheLostHandlerOnceThereIsOne) {
    Fixture f(
        [](const std::string& request) {
            return FakeServer::Reply(request.rfind("Ended", 0) == 0 ? "error:请先登录" : "ok");
        },
        {}, Wire());
    EXPECT_EQ(f.transport.SendRequest("Ended.asp", ""), "error:请先登录");
    EXPECT_FALSE(f.transport.LoginEnded());
    int losses = 0;
    f.transport.SetLostHandler([&losses] { ++losses; });
    EXPECT_EQ(f.transport.SendRequest("Fine.asp", ""), "ok");
    EXPECT_EQ(f.transport.SendRequest("Ended.asp", ""), "");
    EXPECT_EQ(losses, 1);
    EXPECT_TRUE(f.transport.LoginEnded());
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_EQ(f.transport.SendRequest("Fine.asp", ""), "");  // nothing more goes out
    EXPECT_EQ(losses, 2);
    EXPECT_TRUE(f.sink.shown.empty());
    ASSERT_TRUE(f.Reconnect());
    EXPECT_FALSE(f.transport.LoginEnded());
    EXPECT_EQ(f.transport.SendRequest("Fine.asp", ""), "ok");
    if (Wire() != WireSecurity::kTls) return;
    // Requests sent ahead: the one refused and every one after it come back
    // empty, the earlier ones as answered.
    for (const char* name : {"Fine.asp", "Ended.asp", "Fine.asp"}) {
        EXPECT_TRUE(f.transport.PostRequest(name, ""));
    }
    std::vector<std::optional<std::string>> results;
    for (int i = 0; i < 3; ++i) results.push_back(f.transport.TakeReply(5000));
    EXPECT_EQ(results, (std::vector<std::optional<std::string>>{"ok", "", ""}));
    EXPECT_EQ(losses, 3);
    EXPECT_TRUE(f.transport.LoginEnded());
}

TEST_P(BothPorts, ReplyAwaitedInsideAWaitIsRefusedNotInterleaved) {
    struct Reentrant : WaitObserver {
        ConsoleTransport* transport = nullptr;
        std::string nested = "unset";
        void WaitBegins() override {}
        void StillWaiting() override {
            if (nested == "unset") nested = transport->SendRequest("Nested.asp", "");
        }
        void WaitEnds() override {}
    } reentrant;
    // Late enough that the wait is seen even when a loaded machine holds the
    // console's thread back for a while.
    Fixture f([](const std::string&) { return FakeServer::Reply("outer", 500); }, {}, Wire());
    reentrant.transport = &f.transport;
    f.transport.SetWaitObserver(&reentrant);
    EXPECT_FALSE(f.transport.Busy());
    EXPECT_EQ(f.transport.SendRequest("Outer.asp", ""), "outer");
    EXPECT_EQ(reentrant.nested, "");
    EXPECT_EQ(f.server.Requests(), std::vector<std::string>{"Outer.asp?"});
}

TEST_P(BothPorts, TextThatGbkCannotCarryIsNotSent) {
    Fixture f([](const std::string&) { return FakeServer::Reply("ok"); }, {}, Wire());
    EXPECT_EQ(f.transport.SendRequest("GetUserBInfo.asp", "username=\xF0\x9F\x98\x80"), "");
    EXPECT_EQ(f.sink.Texts(), std::vector<std::string>{"请求中含有无法发送的字符"});
    EXPECT_TRUE(f.server.Requests().empty());
    EXPECT_EQ(f.transport.SendRequest("Next.asp", ""), "ok");
}

TEST(ConsoleTransportTest, ConnectionFailuresAreReportedAsConnectFailed) {
    FakeSink sink;
    ConsoleTransport transport(sink);
    int closedPort;
    {
        FakeServer gone([](const std::string&) { return FakeServer::Silent(); });
        closedPort = gone.Port();
    }
    EXPECT_FALSE(
        transport.OpenConnection("127.0.0.1", std::to_string(closedPort), WireSecurity::kPlain));
    EXPECT_FALSE(transport.OpenConnection("127.0.0.1", "0", WireSecurity::kPlain));
    EXPECT_FALSE(transport.OpenConnection("127.0.0.1", "70000", WireSecurity::kPlain));
    ASSERT_EQ(sink.shown.size(), 3u);
    for (const auto& m : sink.shown) {
        EXPECT_EQ(m.text, "连接失败");
        EXPECT_EQ(m.caption, "warden-console");
    }
    EXPECT_FALSE(transport.Connected());
    EXPECT_EQ(transport.SendRequest("Any.asp", ""), "");
}

TEST(ConsoleTransportTest, PortTextIsReadFromItsLeadingDigits) {
    EXPECT_EQ(ParsePortText("8800"), 8800);
    EXPECT_EQ(ParsePortText("  8800abc"), 8800);
    EXPECT_EQ(ParsePortText("+80"), 80);
    EXPECT_EQ(ParsePortText("-80"), -80);
    EXPECT_EQ(ParsePortText("abc"), 0);
    EXPECT_EQ(ParsePortText(""), 0);
    EXPECT_GT(ParsePortText("99999999999999999999"), 65535);
}

TEST_P(BothPorts, PostedRequestsComeBackInOrderWithinTheWindow) {
    Fixture f([](const std::string& request) { return FakeServer::Reply("re:" + request); }, {},
              Wire());
    const int window = f.transport.PipelineWindow();
    EXPECT_EQ(window, Wire() == WireSecurity::kTls ? TransportOptions{}.pipelineWindow : 1);
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < window; ++i) {
            ASSERT_TRUE(
                f.transport.PostRequest("GetUserBInfo.asp", "username=u" + std::to_string(i)));
        }
        EXPECT_EQ(f.transport.Posted(), window);
        for (int i = 0; i < window; ++i) {
            EXPECT_EQ(f.transport.TakeReply(5000),
                      "re:GetUserBInfo.asp?username=u" + std::to_string(i));
        }
        EXPECT_EQ(f.transport.Posted(), 0);
        EXPECT_EQ(f.transport.TakeReply(0), std::nullopt);
    }
    EXPECT_EQ(f.transport.SendRequest("Next.asp", ""), "re:Next.asp?");
    EXPECT_TRUE(f.sink.shown.empty());
}

// An exchange made while posted requests are in flight gets its own reply;
// theirs are kept for them, and abandoned ones are dropped whenever they
// come, before or after the abandonment.
TEST(TlsTransportTest, ExchangeAmidPostedRequestsAndAbandonedRepliesKeepTheirOwners) {
    Fixture f(
        [](const std::string& request) {
            return FakeServer::Reply("re:" + request,
                                     request.find("slow") != std::string::npos ? 30 : 0);
        },
        {}, WireSecurity::kTls);
    ASSERT_TRUE(f.connected);
    for (int i = 0; i < 10; ++i) f.transport.PostRequest("P.asp", "n=" + std::to_string(i));
    EXPECT_EQ(f.transport.SendRequest("Mid.asp", ""), "re:Mid.asp?");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(f.transport.TakeReply(0), "re:P.asp?n=" + std::to_string(i));

    for (int i = 0; i < 3; ++i) f.transport.PostRequest("P.asp", "slow");
    EXPECT_EQ(f.transport.TakeReply(0), std::nullopt);  // sent; nothing back yet
    f.transport.AbandonPosted();
    EXPECT_EQ(f.transport.Posted(), 0);
    f.transport.PostRequest("P.asp", "after");
    EXPECT_EQ(f.transport.SendRequest("Mid.asp", "2"), "re:Mid.asp?2");
    EXPECT_EQ(f.transport.TakeReply(0), "re:P.asp?after");
    EXPECT_TRUE(f.sink.shown.empty());
}

TEST(TlsTransportTest, LostConnectionGivesEveryPostedRequestAnEmptyResult) {
    Fixture f(
        [](const std::string& request) {
            return request.find("n=1") != std::string::npos ? FakeServer::Close()
                                                            : FakeServer::Reply("ok");
        },
        {}, WireSecurity::kTls);
    for (int i = 0; i < 4; ++i) f.transport.PostRequest("P.asp", "n=" + std::to_string(i));
    std::vector<std::optional<std::string>> results;
    for (int i = 0; i < 4; ++i) results.push_back(f.transport.TakeReply(5000));
    EXPECT_EQ(results, (std::vector<std::optional<std::string>>{"ok", "", "", ""}));
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_FALSE(f.transport.PostRequest("P.asp", "n=5"));
    EXPECT_EQ(f.sink.Texts(), std::vector<std::string>{"与服务器的连接已断开"});
}

// Frames that a sound server never sends: each is reported and none is taken
// for a reply.
TEST(TlsTransportTest, BadFramesBreakTheConnectionAndAnEmptyOneMeansNoAnswer) {
    std::string empty, cut = std::string("\0\0\0\x10", 4) + "abc",
                       huge = std::string("\x7F\xFF\xFF\xFF", 4) + "abc";
    AppendLengthFrame(empty, "");
    struct Case {
        std::string bytes;
        bool closeAfter;
        std::vector<std::string> shown;
        bool connected;
    } cases[] = {
        {empty, false, {"服务器没有回答此请求(服务器的版本可能较旧)"}, true},
        {cut, true, {"与服务器的连接已断开"}, false},
        {huge, false, {"与服务器的连接已断开"}, false},
    };
    for (const Case& c : cases) {
        TransportOptions options;
        options.maxReplyBytes = 1 << 20;
        Fixture f(
            [&](const std::string&) {
                FakeServer::Action action = FakeServer::Raw(c.bytes);
                action.thenClose = c.closeAfter;
                return action;
            },
            options, WireSecurity::kTls);
        auto start = Clock::now();
        EXPECT_EQ(f.transport.SendRequest("A.asp", ""), "");
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(f.sink.Texts(), c.shown);
        EXPECT_EQ(f.transport.Connected(), c.connected);
    }
}

TEST(TlsTransportTest, PlainServerOnTheTlsPortIsReportedAtOnce) {
    FakeServer plain([](const std::string&) { return FakeServer::Reply("error:处理请求失败"); });
    FakeSink sink;
    ConsoleTransport transport(sink);
    auto start = Clock::now();
    EXPECT_FALSE(
        transport.OpenConnection("127.0.0.1", std::to_string(plain.Port()), WireSecurity::kTls));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].text.rfind("无法与服务器建立加密连接", 0), 0u) << sink.shown[0].text;
    EXPECT_FALSE(transport.Connected());
}

// Without anyone to ask, only what the system's CA store validates is
// accepted; nothing is sent to any other server.
TEST(TlsTransportTest, WithoutAJudgeOnlyACertificateTheCaValidatesIsAccepted) {
    warden::test::TempDir dir;
    warden::test::TestCa ca;
    std::ofstream(dir.Path() / "ca.pem") << ca.CertificatePem();
    ::setenv("SSL_CERT_FILE", (dir.Path() / "ca.pem").c_str(), 1);
    const warden::test::TestIdentity signed_ = ca.Issue({"localhost"});
    const warden::test::TestIdentity self = warden::test::MakeSelfSigned({"localhost"});
    for (const auto* identity : {&signed_, &self}) {
        FakeServer server([](const std::string&) { return FakeServer::Reply("ok"); }, identity);
        FakeSink sink;
        ConsoleTransport transport(sink);
        const bool accepted = identity == &signed_;
        EXPECT_EQ(transport.OpenConnection("localhost", std::to_string(server.Port()),
                                           WireSecurity::kTls),
                  accepted);
        EXPECT_EQ(transport.SendRequest("A.asp", ""), accepted ? "ok" : "");
        EXPECT_EQ(server.Requests().size(), accepted ? 1u : 0u);
        EXPECT_EQ(sink.shown.size(), accepted ? 0u : 1u);
        EXPECT_EQ(transport.Connection().has_value() && transport.Connection()->caVerified,
                  accepted);
    }
    ::unsetenv("SSL_CERT_FILE");
}

INSTANTIATE_TEST_SUITE_P(Ports, BothPorts,
                         ::testing::Values(WireSecurity::kPlain, WireSecurity::kTls),
                         [](const auto& param) {
                             return param.param == WireSecurity::kTls ? "Tls" : "Plain";
                         });

}  // namespace
}  // namespace warden::console::test

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "console/core/ConsoleSocket.h"
#include "console/core/ConsoleTransport.h"
#include "tests/console/FakeServer.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

using Clock = std::chrono::steady_clock;

struct CountingWaits : WaitObserver {
    int begins = 0, ends = 0, still = 0;
    void WaitBegins() override { ++begins; }
    void StillWaiting() override { ++still; }
    void WaitEnds() override { ++ends; }
};

// A transport connected to a fake server that answers every request with
// the reply the test sets.
struct Fixture {
    explicit Fixture(FakeServer::Script script, TransportOptions options = {})
        : server(std::move(script)), transport(sink, options) {
        transport.SetWaitObserver(&waits);
        connected = transport.OpenConnection("127.0.0.1", std::to_string(server.Port()));
    }
    FakeSink sink;
    CountingWaits waits;
    FakeServer server;
    ConsoleTransport transport;
    bool connected = false;
};

TEST(ConsoleTransportTest, RequestGoesOutAsNameQuestionMarkParamsInGbk) {
    Fixture f([](const std::string&) { return FakeServer::Reply("销售部,研发部"); });
    ASSERT_TRUE(f.connected);
    EXPECT_EQ(f.transport.SendRequest("GetChildDepts.asp", "deptId=\\总部"), "销售部,研发部");
    EXPECT_EQ(f.transport.SendRequest("GetChildDepts.asp", "deptId="), "销售部,研发部");
    EXPECT_EQ(f.server.Requests(), (std::vector<std::string>{"GetChildDepts.asp?deptId=\\总部",
                                                             "GetChildDepts.asp?deptId="}));
    EXPECT_EQ(f.waits.begins, f.waits.ends);
    EXPECT_TRUE(f.sink.shown.empty());
}

TEST(ConsoleTransportTest, RequestsLongerThanTheOldSendBufferGoOutWhole) {
    Fixture f([](const std::string& request) {
        return FakeServer::Reply(std::to_string(request.size()));
    });
    std::string params = "username=" + std::string(5000, 'u');
    EXPECT_EQ(f.transport.SendRequest("GetUserBInfo.asp", params),
              std::to_string(std::string("GetUserBInfo.asp?").size() + params.size()));
}

// Replies around the 1024-byte piece, including exact multiples, which end
// with a full piece and no short read after it.
TEST(ConsoleTransportTest, RepliesOfEveryLengthAroundThePieceSizeArriveWholeAndPromptly) {
    std::string reply;
    Fixture f([&reply](const std::string&) { return FakeServer::Raw(reply); });
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

TEST(ConsoleTransportTest, SilentServerTimesOutWithTheMessageAndAnEmptyReply) {
    TransportOptions quick;
    quick.maxWaits = 5;
    Fixture f([](const std::string&) { return FakeServer::Silent(); }, quick);
    EXPECT_EQ(f.transport.SendRequest("GetAllRoles.asp", ""), "");
    ASSERT_EQ(f.sink.shown.size(), 1u);
    EXPECT_EQ(f.sink.shown[0].text, "接收数据超时");
    EXPECT_EQ(f.sink.shown[0].caption, "warden-console");
    EXPECT_EQ(f.sink.shown[0].icon, MessageIcon::kWarning);
    EXPECT_GE(f.waits.still, 4);  // the window was given its turns while waiting
    EXPECT_TRUE(f.transport.Connected());
}

TEST(ConsoleTransportTest, LateReplyOfATimedOutRequestIsNotTakenForTheNextOne) {
    TransportOptions quick;
    quick.maxWaits = 5;
    int asked = 0;
    Fixture f(
        [&asked](const std::string&) {
            return ++asked == 1 ? FakeServer::Reply("first", 150) : FakeServer::Reply("second");
        },
        quick);
    EXPECT_EQ(f.transport.SendRequest("A.asp", ""), "");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(f.transport.SendRequest("B.asp", ""), "second");
}

TEST(ConsoleTransportTest, ServerClosingIsReportedAtOnceAndOnlyOnce) {
    Fixture f([](const std::string& request) {
        return request.rfind("Bye", 0) == 0 ? FakeServer::Close() : FakeServer::Reply("ok");
    });
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");
    auto start = Clock::now();
    EXPECT_EQ(f.transport.SendRequest("Bye.asp", ""), "");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(f.sink.Texts(), std::vector<std::string>{"与服务器的连接已断开"});
}

TEST(ConsoleTransportTest, ServerThatClosedWhileIdleIsNoticedBeforeSending) {
    Fixture f([](const std::string&) { return FakeServer::Reply("ok"); });
    int losses = 0;
    f.transport.SetLostHandler([&losses] { ++losses; });
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");
    EXPECT_TRUE(f.transport.CheckConnection());
    f.server.CloseClients();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Noticed without a request, and without a word: the caller reports it.
    EXPECT_FALSE(f.transport.CheckConnection());
    EXPECT_EQ(losses, 0);
    ASSERT_TRUE(f.transport.OpenConnection("127.0.0.1", std::to_string(f.server.Port())));
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
    ASSERT_TRUE(f.transport.OpenConnection("127.0.0.1", std::to_string(f.server.Port())));
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "ok");

    // Given up on purpose: closed without a word, and then reported like a loss.
    f.transport.Disconnect();
    EXPECT_FALSE(f.transport.Connected());
    EXPECT_EQ(losses, 2);
    EXPECT_EQ(f.transport.SendRequest("Hello.asp", ""), "");
    EXPECT_EQ(losses, 3);
    EXPECT_EQ(f.server.Requests().size(), 3u);
}

TEST(ConsoleTransportTest, ReplyAwaitedInsideAWaitIsRefusedNotInterleaved) {
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
    Fixture f([](const std::string&) { return FakeServer::Reply("outer", 500); });
    reentrant.transport = &f.transport;
    f.transport.SetWaitObserver(&reentrant);
    EXPECT_FALSE(f.transport.Busy());
    EXPECT_EQ(f.transport.SendRequest("Outer.asp", ""), "outer");
    EXPECT_EQ(reentrant.nested, "");
    EXPECT_EQ(f.server.Requests(), std::vector<std::string>{"Outer.asp?"});
}

TEST(ConsoleTransportTest, TextThatGbkCannotCarryIsNotSent) {
    Fixture f([](const std::string&) { return FakeServer::Reply("ok"); });
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
    EXPECT_FALSE(transport.OpenConnection("127.0.0.1", std::to_string(closedPort)));
    EXPECT_FALSE(transport.OpenConnection("127.0.0.1", "0"));
    EXPECT_FALSE(transport.OpenConnection("127.0.0.1", "70000"));
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

}  // namespace
}  // namespace warden::console::test

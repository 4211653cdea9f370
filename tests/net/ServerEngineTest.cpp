#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "server/net/ServerEngine.h"
#include "tests/support/ServerProcess.h"

namespace warden {
namespace {

using namespace std::chrono_literals;
using test::Client;

// An engine on an ephemeral port whose processor answers "re:" + request.
class EngineTest : public ::testing::Test {
  protected:
    void StartEngine(EngineOptions options = {}, std::chrono::milliseconds delay = 0ms) {
        m_engine = std::make_unique<ServerEngine>(
            options, [this, delay](std::string_view request, Session&, const ReplySink& reply) {
                ++m_processed;
                if (delay.count()) std::this_thread::sleep_for(delay);
                reply("re:" + std::string(request));
            });
        ASSERT_TRUE(m_engine->CreateListener("0"));
        m_engine->Start();
        m_port = *m_engine->ListeningPort();
    }

    bool WaitForOpenConnections(size_t n) {
        for (int i = 0; i < 200 && m_engine->OpenConnections() != n; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return m_engine->OpenConnections() == n;
    }

    std::unique_ptr<ServerEngine> m_engine;
    std::atomic<int> m_processed{0};
    int m_port = 0;
};

TEST(ParsePortTest, ReadsLikeAtoi) {
    EXPECT_EQ(ParsePort("8800"), 8800);
    EXPECT_EQ(ParsePort(" 8800abc"), 8800);
    EXPECT_EQ(ParsePort("abc"), 0);
    EXPECT_EQ(ParsePort(""), 0);
    EXPECT_FALSE(ParsePort("70000").has_value());
    EXPECT_FALSE(ParsePort("-5").has_value());
}

TEST_F(EngineTest, EachConcurrentClientGetsItsOwnReply) {
    StartEngine({}, 50ms);
    std::vector<std::thread> clients;
    std::atomic<int> right{0};
    for (int i = 0; i < 8; ++i) {
        clients.emplace_back([&, i] {
            Client client(m_port);
            for (int k = 0; k < 3; ++k) {
                std::string request = "Req" + std::to_string(i) + "_" + std::to_string(k) + ".asp";
                if (client.Ask(request) == "re:" + request) ++right;
            }
        });
    }
    for (auto& t : clients) t.join();
    EXPECT_EQ(right, 24);
}

TEST_F(EngineTest, SilentOrBlankClientsStartNoWorkAndGetNothing) {
    StartEngine();
    Client silent(m_port);
    Client blank(m_port);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(blank.Ask(" \t\r\n", 200ms).has_value());
    EXPECT_EQ(m_processed, 0);
    // The blank connection was watched again and still works.
    EXPECT_EQ(blank.Ask("Next.asp"), "re:Next.asp");
    char byte;
    EXPECT_EQ(::recv(silent.Fd(), &byte, 1, MSG_DONTWAIT), -1);  // nothing arrived
}

TEST_F(EngineTest, ConnectionsClosedByThePeerAreReleased) {
    StartEngine();
    {
        Client a(m_port), b(m_port);
        ASSERT_EQ(a.Ask("A.asp"), "re:A.asp");
        ASSERT_TRUE(b.Connected());
        ASSERT_TRUE(WaitForOpenConnections(2));
    }
    EXPECT_TRUE(WaitForOpenConnections(0));
}

size_t OpenDescriptors() {
    size_t n = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir)) ++n;
        ::closedir(dir);
    }
    return n;
}

TEST_F(EngineTest, ThousandsOfShortConnectionsLeakNoDescriptors) {
    StartEngine();
    ASSERT_EQ(Client(m_port).Ask("Warm.asp"), "re:Warm.asp");
    ASSERT_TRUE(WaitForOpenConnections(0));
    const size_t before = OpenDescriptors();
    for (int i = 0; i < 2000; ++i) {
        Client client(m_port);
        ASSERT_TRUE(client.Connected());
        if (i % 2 == 0) {
            ASSERT_EQ(client.Ask("X.asp"), "re:X.asp");
        }
    }
    EXPECT_TRUE(WaitForOpenConnections(0));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(EngineTest, OversizedRequestIsAnsweredWithTheGeneralErrorAndClosed) {
    EngineOptions options;
    options.maxRequest = 2048;
    StartEngine(options);
    Client client(m_port);
    EXPECT_EQ(client.Ask("Big.asp?v=" + std::string(5000, 'v')),
              "error:处理请求失败,请检查数据后重新提交");
    EXPECT_EQ(m_processed, 0);
    EXPECT_TRUE(WaitForOpenConnections(0));
    // A request at the limit is still fine.
    Client other(m_port);
    std::string atLimit = "Ok.asp?v=" + std::string(2048 - 9, 'v');
    EXPECT_EQ(other.Ask(atLimit), "re:" + atLimit);
}

TEST_F(EngineTest, StopLetsRequestsInFlightAnswer) {
    StartEngine({}, 300ms);
    Client client(m_port);
    std::optional<std::string> reply;
    std::thread asker([&] { reply = client.Ask("Slow.asp"); });
    std::this_thread::sleep_for(100ms);  // the request is being processed
    m_engine->Stop();
    asker.join();
    EXPECT_EQ(reply, "re:Slow.asp");
    EXPECT_EQ(m_engine->OpenConnections(), 0u);
    EXPECT_FALSE(Client(m_port).Connected());  // no longer accepting
}

TEST_F(EngineTest, ListenerCanBeClosedAndCreatedAgain) {
    StartEngine();
    m_engine->CloseListener();
    EXPECT_FALSE(Client(m_port).Connected());
    ASSERT_TRUE(m_engine->CreateListener("0"));
    EXPECT_EQ(Client(*m_engine->ListeningPort()).Ask("Again.asp"), "re:Again.asp");
}

}  // namespace
}  // namespace warden

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "server/net/ReplyWire.h"
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
        StartWith(options, [delay](std::string_view request, Session&, const ReplySink& reply) {
            if (delay.count()) std::this_thread::sleep_for(delay);
            reply("re:" + std::string(request));
        });
    }

    void StartWith(EngineOptions options, RequestProcessor processor, QuickAnswer quick = {}) {
        m_engine = std::make_unique<ServerEngine>(
            options,
            [this, processor](std::string_view request, Session& session, const ReplySink& reply) {
                ++m_processed;
                processor(request, session, reply);
            },
            std::move(quick));
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

TEST_F(EngineTest, QuickAnswersSpareTheWorkerAndFallBackToItWhenTheyCannot) {
    StartWith(
        {},
        [](std::string_view request, Session&, const ReplySink& reply) {
            reply("re:" + std::string(request));
        },
        [](std::string_view request, Session& session) -> std::optional<std::string> {
            if (request == "Boom.asp") throw std::runtime_error("no answer at once");
            if (request == "Silent.asp") return std::string();
            if (request == "Quick.asp") return "quick for " + session.peerAddress;
            return std::nullopt;
        });
    Client client(m_port);
    EXPECT_EQ(client.Ask("Quick.asp"), "quick for 127.0.0.1");
    EXPECT_EQ(client.Ask("快.asp"), "re:快.asp");  // decoded before either looks at it
    EXPECT_FALSE(client.Ask("Silent.asp", 200ms).has_value());
    EXPECT_EQ(client.Ask("Boom.asp"), "re:Boom.asp");
    EXPECT_EQ(client.Ask("Quick.asp"), "quick for 127.0.0.1");  // the connection reads on
    EXPECT_EQ(m_processed, 2);
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

const std::string kGeneralError = "error:处理请求失败,请检查数据后重新提交";

// True when the server ends the connection (without a reply) within `wait`.
bool ClosedByServer(const Client& client, std::chrono::milliseconds wait = 2s) {
    pollfd p{client.Fd(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
    char byte;
    return ::recv(client.Fd(), &byte, 1, MSG_DONTWAIT) == 0;
}

std::string LocalPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    return std::to_string(ntohs(addr.sin_port));
}

TEST_F(EngineTest, EveryRequestEndsExactlyOnceHoweverItsProcessorAnswers) {
    std::mutex mutex;
    std::vector<std::thread> later;
    StartWith({}, [&](std::string_view request, Session& session, const ReplySink& reply) {
        if (request == "Later.asp") {
            // Answered from another thread after the processor returned.
            std::lock_guard lock(mutex);
            later.emplace_back([reply] {
                std::this_thread::sleep_for(50ms);
                reply("later");
            });
        } else if (request == "Dropped.asp") {
            // Never answered: the last copy of the sink goes away.
        } else if (request == "Throws.asp") {
            throw std::runtime_error("back-end gone");
        } else if (request == "AnswersThenThrows.asp") {
            reply("answered");
            throw std::runtime_error("after the answer");
        } else if (request == "Twice.asp") {
            reply("one");
            reply("two");
        } else if (request == "Silent.asp") {
            reply("");
        } else if (request == "Peer.asp") {
            reply(session.peerAddress + ":" + session.peerPort);
        } else {
            reply("re:" + std::string(request));
        }
    });
    Client client(m_port);
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"Later.asp", "later"},
        {"Dropped.asp", kGeneralError},
        {"Throws.asp", kGeneralError},
        {"AnswersThenThrows.asp", "answered"},
        {"Twice.asp", "one"},
        {"Silent.asp", std::nullopt},
        {"Peer.asp", "127.0.0.1:" + LocalPort(client.Fd())},
    };
    for (const auto& [request, expected] : cases) {
        EXPECT_EQ(client.Ask(request, expected ? 2000ms : 300ms), expected) << request;
        // Nothing extra arrived: the stream is still in step.
        EXPECT_EQ(client.Ask("Ping.asp"), "re:Ping.asp") << "after " << request;
    }
    for (auto& t : later) t.join();
}

TEST_F(EngineTest, TheNextRequestIsReadOnlyAfterTheReply) {
    std::atomic<bool> answering{false};
    std::atomic<bool> overlapped{false};
    StartWith({}, [&](std::string_view request, Session&, const ReplySink& reply) {
        if (answering) overlapped = true;
        answering = true;
        std::thread([&answering, reply, text = "re:" + std::string(request)] {
            std::this_thread::sleep_for(100ms);
            answering = false;
            reply(text);
        }).detach();
    });
    Client client(m_port);
    ASSERT_TRUE(WriteMessage(client.Fd(), "First.asp"));
    std::this_thread::sleep_for(30ms);  // the first is being answered
    ASSERT_TRUE(WriteMessage(client.Fd(), "Second.asp"));
    std::string reply;
    ASSERT_EQ(ReadMessage(client.Fd(), reply), FrameStatus::kComplete);
    EXPECT_EQ(reply, "re:First.asp");
    ASSERT_EQ(ReadMessage(client.Fd(), reply), FrameStatus::kComplete);
    EXPECT_EQ(reply, "re:Second.asp");
    EXPECT_FALSE(overlapped);
}

// A request written in pieces with pauses: `pieces` writes of `piece` bytes
// `pause` apart, with the engine's limits set low.
struct PiecesCase {
    const char* name;
    size_t maxRequest;
    int graceMs;  // generous: pauses stretch on a loaded machine
    int arrivalMs;
    size_t firstPiece, piece;
    int pieces;
    std::chrono::milliseconds pause;
    enum { kWhole, kGeneralError, kClosed } outcome;
};

TEST_F(EngineTest, RequestsInPiecesAreExecutedWholeOrNotAtAll) {
    const PiecesCase cases[] = {
        {"three pieces 40 ms apart", 1 << 20, 1000, 30'000, 1300, 1300, 3, 40ms,
         PiecesCase::kWhole},
        {"trickled past the cap", 4096, 1000, 30'000, 1024, 1024, 8, 20ms,
         PiecesCase::kGeneralError},
        {"still arriving at the time limit", 1 << 20, 1000, 2500, 1024, 1, 300, 10ms,
         PiecesCase::kClosed},
    };
    for (const PiecesCase& c : cases) {
        m_processed = 0;
        EngineOptions options;
        options.maxRequest = c.maxRequest;
        options.arrivalMs = c.arrivalMs;
        options.graceMs = c.graceMs;
        StartEngine(options);
        Client client(m_port);
        std::string sent = "Big.asp?v=" + std::string(c.firstPiece - 9, 'a');
        std::thread writer([&] {
            for (int i = 0; i < c.pieces; ++i) {
                const std::string bytes =
                    i == 0 ? sent.substr(0, c.firstPiece) : std::string(c.piece, 'b');
                if (!WriteMessage(client.Fd(), bytes)) return;
                std::this_thread::sleep_for(c.pause);
            }
        });
        std::string whole = sent.substr(0, c.firstPiece) +
                            std::string(c.piece * static_cast<size_t>(c.pieces - 1), 'b');
        std::string reply;
        FrameStatus status = ReadMessage(client.Fd(), reply);
        writer.join();
        switch (c.outcome) {
            case PiecesCase::kWhole:
                EXPECT_EQ(status, FrameStatus::kComplete) << c.name;
                EXPECT_EQ(reply, "re:" + whole) << c.name;
                EXPECT_EQ(m_processed, 1) << c.name;
                break;
            case PiecesCase::kGeneralError:
                EXPECT_EQ(reply, test::Gbk(kGeneralError)) << c.name;
                EXPECT_EQ(m_processed, 0) << c.name;
                break;
            case PiecesCase::kClosed:
                // Bytes the writer still sends after the close make the
                // server's side answer with a reset, which the reader may
                // see instead of the orderly end.
                EXPECT_TRUE(status == FrameStatus::kClosed || status == FrameStatus::kError)
                    << c.name;
                EXPECT_EQ(reply, "") << c.name;
                EXPECT_EQ(m_processed, 0) << c.name;
                break;
        }
        m_engine.reset();
    }
}

// With a single worker, peers that trickle a request or never read their
// replies hold no thread: a console is answered at once all the while, and
// the limits close the hostile connections.
TEST_F(EngineTest, TricklersAndNonReadersDoNotDelayAConsole) {
    EngineOptions options;
    options.workers = 1;
    options.graceMs = 1000;  // a trickle never goes quiet, even on a loaded machine
    options.arrivalMs = 1000;
    options.writeStallMs = 500;
    StartWith(options, [](std::string_view request, Session&, const ReplySink& reply) {
        reply(request == "Huge.asp" ? std::string(8 << 20, 'h') : "re:" + std::string(request));
    });
    std::atomic<bool> stop{false};
    std::vector<std::thread> hostile;
    std::vector<std::unique_ptr<Client>> nonReaders;
    for (int i = 0; i < 3; ++i) {
        hostile.emplace_back([&] {
            Client trickler(m_port);
            const std::string piece(1024, 't');
            while (!stop && WriteMessage(trickler.Fd(), piece)) std::this_thread::sleep_for(10ms);
        });
    }
    for (int i = 0; i < 2; ++i) {
        nonReaders.push_back(std::make_unique<Client>(m_port));
        ASSERT_TRUE(WriteMessage(nonReaders.back()->Fd(), "Huge.asp"));
    }
    std::this_thread::sleep_for(100ms);
    Client console(m_port);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(console.Ask("Ping.asp", 1s), "re:Ping.asp") << "request " << i;
        std::this_thread::sleep_for(25ms);
    }
    EXPECT_TRUE(WaitForOpenConnections(1));  // only the console is left
    stop = true;
    for (auto& t : hostile) t.join();
}

TEST_F(EngineTest, LimitsRefuseNewcomersMakeRoomForLoginsAndCloseIdleAnonymousOnes) {
    EngineOptions options;
    options.maxConnections = 4;
    options.maxAnonymous = 2;
    // Long enough that a loaded machine still gets the steps before the idle
    // close done in time.
    options.anonymousIdleMs = 1500;
    StartWith(options, [](std::string_view request, Session& session, const ReplySink& reply) {
        if (request == "Login.asp") {
            session.login = LoginLevel::kSuper;
            session.administrator = true;
        }
        reply("ok");
    });
    Client a(m_port);
    auto b = std::make_unique<Client>(m_port);
    ASSERT_EQ(a.Ask("Login.asp"), "ok");
    ASSERT_EQ(b->Ask("Login.asp"), "ok");
    Client c(m_port), d(m_port);
    ASSERT_TRUE(WaitForOpenConnections(4));
    EXPECT_EQ(m_engine->AnonymousConnections(), 2u);
    Client e(m_port);
    EXPECT_TRUE(ClosedByServer(e)) << "a fifth connection";

    // Without a login, the newcomer takes the place of the oldest.
    b.reset();
    ASSERT_TRUE(WaitForOpenConnections(3));
    Client f(m_port);
    EXPECT_EQ(f.Ask("Ping.asp"), "ok");
    EXPECT_TRUE(ClosedByServer(c)) << "the oldest without a login";
    EXPECT_EQ(d.Ask("Ping.asp"), "ok");

    // Idle without a login: closed; logged in: kept.
    EXPECT_TRUE(ClosedByServer(d, 5s));
    EXPECT_TRUE(ClosedByServer(f, 5s));
    EXPECT_EQ(a.Ask("Ping.asp"), "ok");
    EXPECT_TRUE(WaitForOpenConnections(1));
}

TEST(ReplyWireTest, RepliesAlwaysHaveBytesToSend) {
    EXPECT_EQ(GeneralErrorWire(), test::Gbk(kGeneralError));
    EXPECT_EQ(EncodeReply(""), "");
    EXPECT_EQ(EncodeReply("info:好"), test::Gbk("info:好"));
    // A character GBK cannot carry costs that character, not the reply.
    EXPECT_EQ(EncodeReply("a\xF0\x9F\x98\x80z"), std::string("a") + kGbkSubstitute + "z");
}

}  // namespace
}  // namespace warden

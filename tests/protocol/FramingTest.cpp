#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "tests/support/LoopbackPair.h"

namespace warden {
namespace {

using test::LoopbackPair;

std::string Filler(size_t n) {
    std::string s(n, 'x');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

class FramingSizes : public ::testing::TestWithParam<size_t> {};

TEST_P(FramingSizes, MessageArrivesWholeAndExactMultiplesDoNotHang) {
    LoopbackPair pair;
    const std::string sent = Filler(GetParam());
    ASSERT_TRUE(WriteMessage(pair.client, sent));
    std::string got;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadMessage(pair.server, got), FrameStatus::kComplete);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(got, sent);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FramingSizes,
                         ::testing::Values(1, 1023, 1024, 1025, 2048, 5000, 64 * 1024));

TEST(FramingTest, ConsecutiveMessagesStayApart) {
    LoopbackPair pair;
    std::string got;
    ASSERT_TRUE(WriteMessage(pair.client, "first"));
    ASSERT_EQ(ReadMessage(pair.server, got), FrameStatus::kComplete);
    EXPECT_EQ(got, "first");
    ASSERT_TRUE(WriteMessage(pair.client, Filler(1024)));
    ASSERT_EQ(ReadMessage(pair.server, got), FrameStatus::kComplete);
    EXPECT_EQ(got.size(), 1024u);
    ASSERT_TRUE(WriteMessage(pair.client, "second"));
    ASSERT_EQ(ReadMessage(pair.server, got), FrameStatus::kComplete);
    EXPECT_EQ(got, "second");
}

TEST(FramingTest, ZeroByteEndsTheText) {
    LoopbackPair pair;
    ASSERT_TRUE(WriteMessage(pair.client, std::string("abc\0def", 7)));
    std::string got;
    ASSERT_EQ(ReadMessage(pair.server, got), FrameStatus::kComplete);
    EXPECT_EQ(got, "abc");
}

TEST(FramingTest, PeerCloseBeforeAnyByteIsReported) {
    LoopbackPair pair;
    ::shutdown(pair.client, SHUT_WR);
    std::string got;
    EXPECT_EQ(ReadMessage(pair.server, got), FrameStatus::kClosed);
}

TEST(FramingTest, OversizedMessageIsRefused) {
    LoopbackPair pair;
    std::thread writer([&] { WriteMessage(pair.client, Filler(8 * 1024)); });
    std::string got;
    FrameOptions options;
    options.maxBytes = 4096;
    EXPECT_EQ(ReadMessage(pair.server, got, options), FrameStatus::kTooLarge);
    ::shutdown(pair.server, SHUT_RDWR);
    writer.join();
}

// The rule itself, fed with reads at chosen times: each step is one read of
// `bytes` bytes `atMs` after the first, or (bytes 0) a look at that time.
struct AssemblyCase {
    const char* name;
    std::vector<std::pair<size_t, int>> steps;
    FrameAssembler::State expected;
    size_t size;  // of the message when complete
};

TEST(FrameAssemblerTest, EndsAMessageOnlyWhenItCannotBeCutShort) {
    using S = FrameAssembler::State;
    FrameOptions options;
    options.maxBytes = 8192;
    options.graceMs = 100;
    options.arrivalMs = 1000;
    const AssemblyCase cases[] = {
        {"short first read is whole", {{1023, 0}}, S::kComplete, 1023},
        {"a full piece waits for more", {{1024, 0}, {0, 99}}, S::kArriving, 0},
        {"a full piece ends after the grace", {{1024, 0}, {0, 100}}, S::kComplete, 1024},
        {"a later short read does not end it", {{1500, 0}, {10, 40}, {0, 139}}, S::kArriving, 0},
        {"segments of one send stay one message",
         {{1300, 0}, {1300, 40}, {1300, 80}, {0, 180}},
         S::kComplete,
         3900},
        {"the cap holds whatever the timing", {{4096, 0}, {4096, 50}, {1, 60}}, S::kTooLarge, 0},
        {"the cap holds for a first read", {{8193, 0}}, S::kTooLarge, 0},
        {"a trickle is abandoned",
         {{1024, 0}, {1, 90}, {1, 180}, {1, 990}, {0, 1000}},
         S::kTooSlow,
         0},
        {"a slow message that went quiet is whole",
         {{1024, 0}, {1, 950}, {0, 1050}},
         S::kComplete,
         1025},
    };
    for (const AssemblyCase& c : cases) {
        FrameAssembler frame(options);
        const auto t0 = FrameAssembler::Clock::now();
        S state = S::kEmpty;
        for (auto [bytes, atMs] : c.steps) {
            const auto at = t0 + std::chrono::milliseconds(atMs);
            if (bytes > 0 && (state == S::kEmpty || state == S::kArriving)) {
                state = frame.Add(Filler(bytes), at);
            } else {
                state = frame.Check(at);
            }
        }
        EXPECT_EQ(state, c.expected) << c.name;
        if (state == S::kComplete) {
            EXPECT_EQ(frame.Take().size(), c.size) << c.name;
        }
        if (state == S::kArriving) {
            EXPECT_LE(frame.Deadline(), t0 + std::chrono::milliseconds(options.arrivalMs))
                << c.name;
        }
    }
}

TEST(FramingTest, ARequestWrittenInPiecesWithPausesIsReadWhole) {
    LoopbackPair pair;
    const std::string sent = Filler(3900);
    std::thread writer([&] {
        for (size_t at = 0; at < sent.size(); at += 1300) {
            WriteMessage(pair.client, sent.substr(at, 1300));
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    });
    std::string got;
    // A grace well above the writer's pauses: a loaded machine (sanitizers,
    // parallel tests) may stretch a 40 ms sleep past the default.
    EXPECT_EQ(ReadMessage(pair.server, got, FrameOptions{.graceMs = 1000}), FrameStatus::kComplete);
    writer.join();
    EXPECT_EQ(got, sent);
}

TEST(FramingTest, PeerClosingInTheMiddleOfAMessageSentNone) {
    LoopbackPair pair;
    ASSERT_TRUE(WriteMessage(pair.client, Filler(2000)));
    ::shutdown(pair.client, SHUT_WR);
    std::string got;
    EXPECT_EQ(ReadMessage(pair.server, got), FrameStatus::kClosed);
}

TEST(FramingTest, WriteCompletesPartialSendsAgainstASlowReader) {
    LoopbackPair pair;
    const std::string sent = Filler(4 << 20);  // far beyond the socket buffers
    std::thread writer([&] {
        EXPECT_TRUE(WriteMessage(pair.client, sent));
        ::shutdown(pair.client, SHUT_WR);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string got;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(pair.server, buffer, sizeof buffer, 0)) > 0;) got.append(buffer, n);
    writer.join();
    EXPECT_EQ(got, sent);
}

}  // namespace
}  // namespace warden

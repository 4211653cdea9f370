#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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

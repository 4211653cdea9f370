#include <gtest/gtest.h>

#include "protocol/LengthFrame.h"

namespace warden {
namespace {

using State = LengthFrameScan::State;

TEST(LengthFrameTest, ScansEachEdgeOfAFrame) {
    const std::string ten = LengthFrame("0123456789");
    ASSERT_EQ(ten.substr(0, 4), std::string("\0\0\0\x0a", 4));
    const struct {
        std::string bytes;
        size_t maxBody;
        State state;
        size_t frameSize;
    } cases[] = {
        {"", 100, State::kIncomplete, 0},
        {ten.substr(0, 3), 100, State::kIncomplete, 0},  // half a header
        {ten.substr(0, 13), 100, State::kIncomplete, 0},
        {ten, 100, State::kComplete, 14},
        {ten + LengthFrame("next"), 100, State::kComplete, 14},  // only the first
        {ten, 10, State::kComplete, 14},                          // exactly the limit
        {ten.substr(0, 4), 9, State::kTooLarge, 0},               // known from the header
        {std::string("\xff\xff\xff\xff", 4), 1 << 20, State::kTooLarge, 0},
        {LengthFrame(""), 0, State::kComplete, 4},  // an empty reply
    };
    for (const auto& c : cases) {
        const LengthFrameScan scan = ScanLengthFrame(c.bytes, c.maxBody);
        EXPECT_EQ(scan.state, c.state) << c.bytes.size() << " bytes";
        if (c.state == State::kComplete) {
            EXPECT_EQ(scan.frameSize, c.frameSize);
        }
    }
    const std::string big(70000, 'x');
    EXPECT_EQ(ScanLengthFrame(LengthFrame(big), 70000).bodySize, 70000u);
}

}  // namespace
}  // namespace warden

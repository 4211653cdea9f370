#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/LengthFraming.h"

namespace warden {
namespace {

using State = LengthFrameReader::State;

std::vector<std::string> Drain(LengthFrameReader& reader) {
    std::vector<std::string> out;
    std::string message;
    while (reader.Next(message) == State::kMessage) out.push_back(message);
    return out;
}

TEST(LengthFramingTest, HeaderIsFourBytesBigEndian) {
    std::string out;
    AppendLengthFrame(out, std::string(0x0102, 'x'));
    ASSERT_EQ(out.size(), 4u + 0x0102);
    EXPECT_EQ(out.substr(0, 4), std::string("\0\0\x01\x02", 4));
    const char high[4] = {'\xFF', '\x00', '\x80', '\x01'};
    EXPECT_EQ(ReadLengthHeader(high), 0xFF008001u);
}

// A burst of messages (empty, short, long, holding zero bytes) read back in
// order however the stream happens to be cut.
TEST(LengthFramingTest, PipelinedMessagesComeOutWholeAndInOrderAtAnyCut) {
    const std::vector<std::string> sent = {"GetUserBInfo.asp?username=a", "", std::string(3000, 'y'),
                                           std::string("a\0b", 3), "last"};
    std::string stream;
    for (const std::string& m : sent) AppendLengthFrame(stream, m);
    for (size_t cut : {size_t{1}, size_t{3}, size_t{4}, size_t{5}, size_t{1024}, stream.size()}) {
        LengthFrameReader reader(1 << 20);
        std::vector<std::string> got;
        for (size_t at = 0; at < stream.size(); at += cut) {
            reader.Add(std::string_view(stream).substr(at, cut));
            for (std::string& m : Drain(reader)) got.push_back(std::move(m));
        }
        EXPECT_EQ(got, sent) << "cut " << cut;
        EXPECT_FALSE(reader.InsideMessage());
    }
}

TEST(LengthFramingTest, PartialMessageIsHeldUntilItsLastByte) {
    LengthFrameReader reader(100);
    std::string stream;
    AppendLengthFrame(stream, "hello");
    reader.Add(std::string_view(stream).substr(0, stream.size() - 1));
    std::string message = "untouched";
    EXPECT_EQ(reader.Next(message), State::kNeedMore);
    EXPECT_EQ(message, "untouched");
    EXPECT_TRUE(reader.InsideMessage());
    reader.Add(std::string_view(stream).substr(stream.size() - 1));
    EXPECT_EQ(reader.Next(message), State::kMessage);
    EXPECT_EQ(message, "hello");
}

TEST(LengthFramingTest, LengthOverTheLimitIsRefusedFromItsHeaderAlone) {
    LengthFrameReader reader(10);
    std::string stream;
    AppendLengthFrame(stream, std::string(10, 'a'));
    stream.append("\0\0\0\x0B", 4);  // 11 bytes announced, none sent
    reader.Add(stream);
    std::string message;
    EXPECT_EQ(reader.Next(message), State::kMessage);
    EXPECT_EQ(reader.Next(message), State::kTooLarge);
    EXPECT_EQ(reader.Next(message), State::kTooLarge);
}

}  // namespace
}  // namespace warden

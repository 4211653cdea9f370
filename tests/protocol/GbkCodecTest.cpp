#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "protocol/GbkCodec.h"

namespace warden {
namespace {

TEST(GbkCodecTest, RoundTripsChineseText) {
    const std::string utf8 = "销售部\\华东区 error:处理请求失败,请检查数据后重新提交";
    auto gbk = Utf8ToGbk(utf8);
    ASSERT_TRUE(gbk.has_value());
    EXPECT_EQ(gbk->size(), utf8.size() - 22);  // 22 characters: 3 bytes in UTF-8, 2 in GBK
    EXPECT_EQ(GbkToUtf8(*gbk), utf8);
}

TEST(GbkCodecTest, TrailByteEqualToBackslashSurvives) {
    // 0x955C is a GBK character whose trail byte is "\".
    const std::string gbk = "\x95\x5c";
    auto utf8 = GbkToUtf8(gbk);
    ASSERT_TRUE(utf8.has_value());
    EXPECT_EQ(utf8->find('\\'), std::string::npos);
    EXPECT_EQ(Utf8ToGbk(*utf8), gbk);
}

TEST(GbkCodecTest, InvalidInputIsRefused) {
    EXPECT_FALSE(GbkToUtf8("\x81").has_value());              // lead byte without trail
    EXPECT_FALSE(GbkToUtf8("ab\x81\x7f").has_value());        // 0x7F is never a trail byte
    EXPECT_FALSE(GbkToUtf8("\xa1\x20").has_value());          // nor is a space
    EXPECT_FALSE(Utf8ToGbk("\xe4\xb8").has_value());          // cut UTF-8
    EXPECT_FALSE(Utf8ToGbk("\xf0\x9f\x98\x80").has_value());  // emoji: not in GBK
    EXPECT_EQ(GbkToUtf8(""), std::string{});
}

// The code point of UTF-8 text holding exactly one character; 0 otherwise.
uint32_t OnlyCodePoint(const std::string& utf8) {
    const auto b = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(utf8[i]));
    };
    if (utf8.size() == 1 && b(0) < 0x80) return b(0);
    if (utf8.size() == 2 && (b(0) & 0xE0) == 0xC0) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    if (utf8.size() == 3 && (b(0) & 0xF0) == 0xE0) {
        return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    }
    return 0;
}

TEST(GbkCodecTest, EveryCodePage936SequenceIsOneCharacterAndRoundTrips) {
    std::set<uint32_t> seen;
    int sequences = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            const std::string gbk{static_cast<char>(lead), static_cast<char>(trail)};
            auto utf8 = GbkToUtf8(gbk);
            ASSERT_TRUE(utf8.has_value()) << std::hex << lead << trail;
            const uint32_t cp = OnlyCodePoint(*utf8);
            ASSERT_GE(cp, 0x80u) << std::hex << lead << trail;
            EXPECT_TRUE(seen.insert(cp).second) << std::hex << lead << trail << " repeats " << cp;
            EXPECT_EQ(Utf8ToGbk(*utf8), gbk) << std::hex << lead << trail;
            ++sequences;
        }
    }
    EXPECT_EQ(sequences, 23940);
}

// Where code page 936 puts its user-defined areas, its unassigned codes and
// its two single-byte characters, with two ordinary characters beside them.
TEST(GbkCodecTest, PrivateUseAndSingleByteCharactersAreWhereCodePage936PutsThem) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"\xaa\xa1", 0xE000}, {"\xaf\xfe", 0xE233}, {"\xf8\xa1", 0xE234}, {"\xfe\xfe", 0xE4C5},
        {"\xa1\x40", 0xE4C6}, {"\xa7\xa0", 0xE765}, {"\xa2\xab", 0xE766}, {"\xa6\xd9", 0xE78D},
        {"\xa8\xbc", 0xE7C7}, {"\xfe\x51", 0xE816}, {"\xfe\xa0", 0xE864}, {"\x80", 0x20AC},
        {"\xff", 0xF8F5},     {"\xb0\xa1", 0x554A}, {"\xa3\xbf", 0xFF1F},
    };
    for (auto [gbk, cp] : cases) {
        auto utf8 = GbkToUtf8(gbk);
        ASSERT_TRUE(utf8.has_value()) << cp;
        EXPECT_EQ(OnlyCodePoint(*utf8), cp);
        EXPECT_EQ(Utf8ToGbk(*utf8), gbk) << cp;
    }
    // Single bytes that grow threefold, in a run.
    EXPECT_EQ(GbkToUtf8("\x80\x80\xff\x80"), "€€\uF8F5€");
}

TEST(GbkCodecTest, SubstitutionKeepsEverythingGbkCanCarry) {
    EXPECT_EQ(Utf8ToGbkSubstituting("部门A"), *Utf8ToGbk("部门A"));
    // An emoji becomes one "？", and so does each byte of a cut sequence.
    EXPECT_EQ(Utf8ToGbkSubstituting("a\xf0\x9f\x98\x80"
                                    "b\xe4\xb8"),
              "a" + std::string(kGbkSubstitute) + "b" + kGbkSubstitute + kGbkSubstitute);
    EXPECT_EQ(Utf8ToGbkSubstituting("\x80"), kGbkSubstitute);
    EXPECT_EQ(GbkToUtf8(kGbkSubstitute), "？");
}

TEST(GbkCodecTest, ConfigurationTextIsUtf8WhenItCanBeElseGbk) {
    EXPECT_EQ(ConfigTextToUtf8("[销售]\nROLES=a|"), "[销售]\nROLES=a|");
    EXPECT_EQ(ConfigTextToUtf8("\xef\xbb\xbfIP=1"), "IP=1");
    EXPECT_EQ(ConfigTextToUtf8(*Utf8ToGbk("[销售]\nROLES=经理|")), "[销售]\nROLES=经理|");
    EXPECT_EQ(ConfigTextToUtf8("x\xaa\xa1"), "x\xee\x80\x80");  // user-defined area
    EXPECT_FALSE(ConfigTextToUtf8("\x81").has_value());
}

TEST(GbkCodecTest, ConcurrentUseIsSafe) {
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                std::string text = "部门" + std::to_string(i);
                if (GbkToUtf8(*Utf8ToGbk(text)) != text) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace warden

#include <gtest/gtest.h>

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
    EXPECT_FALSE(GbkToUtf8("ab\xff\xff").has_value());        // not a GBK sequence
    EXPECT_FALSE(Utf8ToGbk("\xe4\xb8").has_value());          // cut UTF-8
    EXPECT_FALSE(Utf8ToGbk("\xf0\x9f\x98\x80").has_value());  // emoji: not in GBK
    EXPECT_EQ(GbkToUtf8(""), std::string{});
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

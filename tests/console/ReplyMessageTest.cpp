#include <gtest/gtest.h>

#include "console/core/ReplyMessage.h"
#include "tests/console/FakeTransport.h"

namespace warden::console::test {
namespace {

TEST(ReplyMessageTest, PrefixesChooseCaptionIconAndText) {
    FakeSink sink;
    ShowReplyMessage(sink, "info:修改部门成功");
    ShowReplyMessage(sink, "abc error:部门已经存在");
    ShowReplyMessage(sink, "info:a error:b");  // the error wins
    ShowReplyMessage(sink, "info:");
    ShowReplyMessage(sink, "success");
    ShowReplyMessage(sink, " ");
    ShowReplyMessage(sink, "");
    ASSERT_EQ(sink.shown.size(), 4u);
    EXPECT_EQ(sink.shown[0].caption, "信息");
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(sink.shown[0].text, "修改部门成功");
    EXPECT_EQ(sink.shown[1].caption, "错误");
    EXPECT_EQ(sink.shown[1].icon, MessageIcon::kError);
    EXPECT_EQ(sink.shown[1].text, "部门已经存在");
    EXPECT_EQ(sink.shown[2].text, "b");
    EXPECT_EQ(sink.shown[2].caption, "错误");
    EXPECT_EQ(sink.shown[3].text, "");
    EXPECT_EQ(sink.shown[3].caption, "信息");
}

}  // namespace
}  // namespace warden::console::test

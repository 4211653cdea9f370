#include <gtest/gtest.h>

#include "protocol/SplitList.h"
#include "directory/ImError.h"
#include "server/im/RoleRights.h"
#include "tests/support/FakeIm.h"

namespace warden {
namespace {

using test::FakeIm;

TEST(RoleDescriptionTextTest, XmlAttributeComesBackWithQuotesAndEntities) {
    EXPECT_EQ(GetRoleDescriptionText(
                  R"(<Role RoleName="r" RoleDescribe="说 &quot;你好&quot; &amp; 再见" />)"),
              R"(说 "你好" & 再见)");
    EXPECT_EQ(GetRoleDescriptionText(R"(<Role RoleName="r" RoleDescribe="" />)"), "");
}

TEST(RoleDescriptionTextTest, OtherTextLosesOpeningQuoteAndFourClosingCharacters) {
    EXPECT_EQ(GetRoleDescriptionText(R"(name RoleDescribe="销售人员" />)"), "销售人员");
    EXPECT_EQ(GetRoleDescriptionText(R"(RoleDescribe="ab" /><)"), "ab\"");
    EXPECT_EQ(GetRoleDescriptionText(R"(RoleDescribe="x)"), "");
    EXPECT_EQ(GetRoleDescriptionText("RoleDescribe="), "");
}

TEST(RoleDescriptionTextTest, TextWithoutTheAttributeGivesNothing) {
    EXPECT_EQ(GetRoleDescriptionText(R"(<Role RoleName="r" Describe="d" />)"), "");
    EXPECT_EQ(GetRoleDescriptionText("any text at all"), "");
}

class RoleRightsTest : public ::testing::Test {
  protected:
    FakeIm m_im;
};

TEST_F(RoleRightsTest, RightsListGivesFlagsAndDisplayName) {
    m_im.GiveRight("销售", "RIGHT_INNER_SEND_SMS", true, false);
    m_im.GiveRight("销售", "RIGHT_INNER_REMOTE_LOGON", false, true);
    EXPECT_EQ(GetRoleRightsList(m_im, m_im.GetRoleRights("销售")),
              "RIGHT_INNER_SEND_SMS|1|0|发送短信|^RIGHT_INNER_REMOTE_LOGON|0|1|远程登录|");
    EXPECT_EQ(GetRoleRightsList(m_im, "<RoleRights></RoleRights>"), "");
}

TEST_F(RoleRightsTest, FlagsAreTrueInAnyLetterCaseOnly) {
    const char* xml = R"(<R><Item Identity="RIGHT_INNER_SEND_SMS" Deny="TRUE" Allow="false"/>)"
                      R"(<Item Identity="RIGHT_INNER_REMOTE_LOGON" Deny="tRuE" Allow="True"/>)"
                      R"(<Item Identity="RIGHT_OUT_SEND_FILE_LIMIT" Deny="1" Allow="yes"/>)"
                      R"(<Item Identity="RIGHT_OUT_SEND_FILE_NOLIMIT"/></R>)";
    auto entries = SplitList(GetRoleRightsList(m_im, xml), "^");
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(entries[0].starts_with("RIGHT_INNER_SEND_SMS|1|0|"));
    EXPECT_TRUE(entries[1].starts_with("RIGHT_INNER_REMOTE_LOGON|1|1|"));
    EXPECT_TRUE(entries[2].starts_with("RIGHT_OUT_SEND_FILE_LIMIT|0|0|"));
    EXPECT_TRUE(entries[3].starts_with("RIGHT_OUT_SEND_FILE_NOLIMIT|0|0|"));
}

TEST_F(RoleRightsTest, NameFieldIsOneLastNameOrNothing) {
    m_im.OverrideAnswer("GetRightInfo", "RIGHT_INNER_SEND_SMS",
                        R"(<I><Item key="name">旧名</Item><Item key="NAME">短 信</Item></I>)");
    m_im.OverrideAnswer("GetRightInfo", "RIGHT_INNER_REMOTE_LOGON",
                        R"(<I><Item key="Identity">RIGHT_INNER_REMOTE_LOGON</Item></I>)");
    EXPECT_EQ(GetRightNames(m_im, "RIGHT_INNER_SEND_SMS", true), "短 信|");
    EXPECT_EQ(GetRightNames(m_im, "RIGHT_INNER_REMOTE_LOGON", true), "");
    EXPECT_EQ(GetRightNames(m_im, "RIGHT_INNER_SEND_SMS", false), "旧名|短 信|");
}

TEST_F(RoleRightsTest, AllRightsListTenEntriesInTheirOrder) {
    auto entries = SplitList(GetAllRights(m_im), "^");
    ASSERT_EQ(entries.size(), 10u);
    EXPECT_EQ(entries[0], "RIGHT_INNER_SEND_SMS|发送短信|1|");
    EXPECT_EQ(entries[4], "RIGHT_INNER_SEND_BROADCAST_MSG|发送广播消息|0|");
    EXPECT_EQ(entries[9], "RIGHT_OUT_SEND_FILE_NOLIMIT|向外部发送文件(不限大小)|0|");
}

TEST_F(RoleRightsTest, EmptyRightsVanishAtTheStartAndLeaveGapsLater) {
    for (const char* right : {"RIGHT_INNER_SEND_SMS", "RIGHT_INNER_LAUNCH_CONVERSATION_N",
                              "RIGHT_INNER_REMOTE_LOGON"}) {
        m_im.OverrideAnswer("GetRightInfo", right, "<RightInfo/>");
    }
    std::string all = GetAllRights(m_im);
    EXPECT_TRUE(all.starts_with("RIGHT_INNER_SEND_FILE_N(M)|")) << all;
    EXPECT_NE(all.find("RIGHT_INNER_SEND_BROADCAST_MSG|发送广播消息|0|^^RIGHT_INNER_SEND_BROADCAST_"
                       "MSG_ONLY_CURRENT_DEPT|"),
              std::string::npos)
        << all;
    for (auto right : kRightIdentities) m_im.OverrideAnswer("GetRightInfo", std::string(right), "");
    EXPECT_EQ(GetAllRights(m_im), "");
}

TEST_F(RoleRightsTest, EmptyUpdateIsRefused) {
    m_im.MakeRole("销售");
    EXPECT_EQ(UpdateRoleRights(m_im, "销售", ""), "error:权限不能为空");
    EXPECT_TRUE(m_im.Calls().empty());
}

TEST_F(RoleRightsTest, BothFlagsSetDenyBeforeAllow) {
    m_im.MakeRole("销售");
    EXPECT_EQ(UpdateRoleRights(m_im, "销售", "RIGHT_INNER_SEND_SMS|1|1"), "info:");
    EXPECT_EQ(m_im.CallsOf("AddRightToRole"),
              (std::vector<std::string>{"销售,RIGHT_INNER_SEND_SMS"}));
    EXPECT_EQ(m_im.CallsOf("SetRoleRight"),
              (std::vector<std::string>{"销售,RIGHT_INNER_SEND_SMS,1,0",
                                        "销售,RIGHT_INNER_SEND_SMS,0,1"}));
}

TEST_F(RoleRightsTest, ClearFlagsOnlyAddTheMissingRight) {
    m_im.GiveRight("销售", "RIGHT_INNER_SEND_SMS", true, false);
    m_im.ClearCalls();
    EXPECT_EQ(UpdateRoleRights(m_im, "销售",
                               "RIGHT_INNER_SEND_SMS|0|0^RIGHT_INNER_REMOTE_LOGON|0|0|extra^"),
              "info:");
    EXPECT_EQ(m_im.CallsOf("AddRightToRole"),
              (std::vector<std::string>{"销售,RIGHT_INNER_REMOTE_LOGON"}));
    EXPECT_TRUE(m_im.CallsOf("SetRoleRight").empty());
    EXPECT_TRUE(m_im.RightsOf("销售")["RIGHT_INNER_SEND_SMS"].deny);
}

TEST_F(RoleRightsTest, RightWhoseNameBeginsAnotherIsStillAdded) {
    m_im.GiveRight("销售", "RIGHT_INNER_SEND_BROADCAST_MSG_ONLY_CURRENT_DEPT", false, true);
    EXPECT_EQ(UpdateRoleRights(m_im, "销售", "RIGHT_INNER_SEND_BROADCAST_MSG|0|1"), "info:");
    EXPECT_TRUE(m_im.RightsOf("销售")["RIGHT_INNER_SEND_BROADCAST_MSG"].allow);
}

TEST_F(RoleRightsTest, ShortEntriesAreSkippedAndOnlyOneCountsAsSet) {
    m_im.MakeRole("销售");
    EXPECT_EQ(UpdateRoleRights(m_im, "销售",
                               "RIGHT_INNER_SEND_SMS|1^RIGHT_INNER_REMOTE_LOGON||1^^"
                               "RIGHT_OUT_SEND_FILE_LIMIT|01|true"),
              "info:");
    EXPECT_EQ(m_im.CallsOf("GetRoleRights").size(), 1u);
    EXPECT_EQ(m_im.CallsOf("AddRightToRole"),
              (std::vector<std::string>{"销售,RIGHT_OUT_SEND_FILE_LIMIT"}));
    EXPECT_TRUE(m_im.CallsOf("SetRoleRight").empty());
}

TEST_F(RoleRightsTest, DirectoryFailuresPropagate) {
    m_im.GiveRight("销售", "RIGHT_INNER_SEND_SMS", false, false);
    m_im.Fail("GetRightInfo");
    EXPECT_THROW(GetRoleRightsList(m_im, m_im.GetRoleRights("销售")), ImError);
    EXPECT_THROW(UpdateRoleRights(m_im, "nobody", "RIGHT_INNER_SEND_SMS|1|0"), ImError);
}

}  // namespace
}  // namespace warden

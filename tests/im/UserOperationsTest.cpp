#include <gtest/gtest.h>

#include <limits>

#include "directory/ImError.h"
#include "server/im/UserOperations.h"
#include "tests/support/FakeIm.h"

namespace warden {
namespace {

using test::FakeIm;

class UserOperationsTest : public ::testing::Test {
  protected:
    UserOperationsTest() { m_im.MakeUser("zhang", "\\销售部"); }

    UserDetail DetailWith(int32_t first, const std::string& position, int32_t level) {
        UserDetail detail;
        detail.leading = {first, 7, 8};
        for (size_t i = 0; i < detail.texts.size(); ++i) detail.texts[i] = "t" + std::to_string(i);
        detail.Position() = position;
        detail.Level() = level;
        return detail;
    }

    FakeIm m_im;
};

TEST_F(UserOperationsTest, RecordHasAllNineFieldsInOrder) {
    m_im.SetUserBasicInfo("zhang", "张三", 0, "13800000000", "z@corp.cn", "021-1234", 3);
    m_im.SetDetail("zhang", DetailWith(1, "高级 经理", 12));
    EXPECT_EQ(GetUserInfo(m_im, "zhang"),
              "name:张三|gender:男|mobile:13800000000|email:z@corp.cn|phone:021-1234|auth:3|"
              "uin:10001|position:高级 经理|level:12");
}

TEST_F(UserOperationsTest, GenderValueZeroIsMaleAnyOtherFemale) {
    for (auto [value, text] : {std::pair{0, "男"}, {1, "女"}, {2, "女"}, {-1, "女"}}) {
        m_im.SetGender("zhang", value);
        EXPECT_NE(GetUserInfo(m_im, "zhang").find(std::string("|gender:") + text + "|"),
                  std::string::npos)
            << value;
    }
}

TEST_F(UserOperationsTest, NegativeLevelAndAuthAreWrittenInDecimal) {
    m_im.SetUserBasicInfo("zhang", "z", 0, "", "", "", -5);
    m_im.SetDetail("zhang", DetailWith(1, "", -2));
    EXPECT_EQ(GetUserInfo(m_im, "zhang"),
              "name:z|gender:男|mobile:|email:|phone:|auth:-5|uin:10001|position:|level:-2");
    EXPECT_EQ(GetUserPositionOrLevel(m_im, "zhang", UserField::kLevel), "-2");
}

TEST_F(UserOperationsTest, RecordOfUnknownUserFails) {
    EXPECT_THROW(GetUserInfo(m_im, "nobody"), ImError);
}

TEST_F(UserOperationsTest, OnlyTheTextFemaleMakesAFemaleUser) {
    m_im.SetUserBasicInfo("zhang", "z", 0, "", "", "", 7);
    const std::pair<const char*, int> cases[] = {{"女", 1}, {"男", 0}, {"", 0}, {"female", 0}};
    for (auto [text, flag] : cases) {
        WriteUserBasicInfo(m_im, "zhang", BasicInfoText{"张三", text, "m", "e", "p"});
        UserBasicInfo basic = m_im.BasicOf("zhang");
        EXPECT_EQ(basic.gender, flag) << text;
        EXPECT_EQ(basic.name, "张三");
        EXPECT_EQ(basic.mobile, "m");
        EXPECT_EQ(basic.email, "e");
        EXPECT_EQ(basic.phone, "p");
        EXPECT_EQ(basic.auth, 7);  // never wiped by an edit of the record
    }
}

TEST_F(UserOperationsTest, EmptyPositionAndLevelStillWriteBackWithFirstIntegerSet) {
    m_im.SetDetail("zhang", DetailWith(0, "经理", 4));
    EXPECT_EQ(SetUserPosition(m_im, "zhang", "", "  "), "");
    UserDetail after = m_im.DetailOf("zhang");
    EXPECT_EQ(after.leading[0], -1);
    EXPECT_EQ(after.leading[1], 7);
    EXPECT_EQ(after.Position(), "经理");
    EXPECT_EQ(after.Level(), 4);
    EXPECT_EQ(after.texts[0], "t0");
    EXPECT_EQ(m_im.CallsOf("SetUserDetail").size(), 1u);
}

TEST_F(UserOperationsTest, NonZeroFirstIntegerIsKept) {
    m_im.SetDetail("zhang", DetailWith(5, "", 0));
    SetUserPosition(m_im, "zhang", "", "");
    EXPECT_EQ(m_im.DetailOf("zhang").leading[0], 5);
}

TEST_F(UserOperationsTest, PositionAndLevelLoseLeadingBlanksAndLevelTakesLeadingDigits) {
    m_im.SetDetail("zhang", DetailWith(1, "", 0));
    SetUserPosition(m_im, "zhang", "  项目 经理", " 12级");
    EXPECT_EQ(m_im.DetailOf("zhang").Position(), "项目 经理");
    EXPECT_EQ(m_im.DetailOf("zhang").Level(), 12);
    SetUserPosition(m_im, "zhang", "", "abc");
    EXPECT_EQ(m_im.DetailOf("zhang").Level(), 0);
    EXPECT_EQ(m_im.DetailOf("zhang").Position(), "项目 经理");
}

TEST_F(UserOperationsTest, LevelBeyondTheRecordIsHeldAtItsLimit) {
    SetUserPosition(m_im, "zhang", "", "99999999999");
    EXPECT_EQ(m_im.DetailOf("zhang").Level(), std::numeric_limits<int32_t>::max());
    SetUserPosition(m_im, "zhang", "", "-99999999999");
    EXPECT_EQ(m_im.DetailOf("zhang").Level(), std::numeric_limits<int32_t>::min());
}

TEST_F(UserOperationsTest, FailedWriteBackIsReportedAndFailedReadThrows) {
    m_im.Fail("SetUserDetail");
    EXPECT_EQ(SetUserPosition(m_im, "zhang", "经理", "1"), "error:设置用户职位失败");
    m_im.Fail("GetUserDetail");
    EXPECT_THROW(SetUserPosition(m_im, "zhang", "经理", "1"), ImError);
}

TEST_F(UserOperationsTest, RoleNamesComeWithLeadingEqualsSign) {
    m_im.GiveRole("zhang", "User");
    m_im.GiveRole("zhang", "Sales Team");
    EXPECT_EQ(GetUserRoleNames(m_im, "zhang"), "User=Sales Team");
    m_im.MakeUser("li");
    EXPECT_EQ(GetUserRoleNames(m_im, "li"), "");
}

class SetUserRolesTest : public UserOperationsTest {
  protected:
    SetUserRolesTest() {
        for (const char* role : {"User", "管理员", "销售", "财务"}) m_im.GiveRole("zhang", role);
        m_im.MakeRole("研发");
        m_im.ClearCalls();
    }
};

TEST_F(SetUserRolesTest, UnlistedRolesAreRemovedButUserAndAdministratorStay) {
    SetUserRoles(m_im, "zhang", "销售;");
    EXPECT_EQ(m_im.RolesOf("zhang"), (std::vector<std::string>{"User", "管理员", "销售"}));
    EXPECT_EQ(m_im.CallsOf("RemoveUserFromRole"), (std::vector<std::string>{"zhang,财务"}));
    EXPECT_TRUE(m_im.CallsOf("AddUserToRole").empty());
}

TEST_F(SetUserRolesTest, EmptyListRemovesEveryOtherRole) {
    SetUserRoles(m_im, "zhang", "");
    EXPECT_EQ(m_im.RolesOf("zhang"), (std::vector<std::string>{"User", "管理员"}));
}

TEST_F(SetUserRolesTest, NewRolesAreAddedAndHeldOnesLeftAlone) {
    SetUserRoles(m_im, "zhang", "财务;研发;销售;研发;");
    EXPECT_EQ(m_im.RolesOf("zhang"),
              (std::vector<std::string>{"User", "管理员", "销售", "财务", "研发"}));
    EXPECT_EQ(m_im.CallsOf("AddUserToRole"), (std::vector<std::string>{"zhang,研发"}));
    EXPECT_TRUE(m_im.CallsOf("RemoveUserFromRole").empty());
}

TEST_F(SetUserRolesTest, LastNameCountsWithoutTrailingSemicolon) {
    SetUserRoles(m_im, "zhang", " 销售;财务 ");
    EXPECT_EQ(m_im.RolesOf("zhang"), (std::vector<std::string>{"User", "管理员", "销售", "财务"}));
    EXPECT_TRUE(m_im.CallsOf("RemoveUserFromRole").empty());
}

TEST_F(SetUserRolesTest, UserWithoutRolesGetsTheNewOnes) {
    m_im.MakeUser("li");
    SetUserRoles(m_im, "li", "User;研发;");
    EXPECT_EQ(m_im.RolesOf("li"), (std::vector<std::string>{"User", "研发"}));
}

TEST_F(SetUserRolesTest, FailureOfTheDirectoryPropagates) {
    m_im.Fail("AddUserToRole");
    EXPECT_THROW(SetUserRoles(m_im, "zhang", "研发;"), ImError);
}

}  // namespace
}  // namespace warden

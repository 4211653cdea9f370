#include <gtest/gtest.h>

#include "tests/directory/DirectoryBackends.h"
#include "tests/directory/ExpectImError.h"

namespace warden {
namespace {

class UserManagerTest : public test::DirectoryTest {
  protected:
    ImUserManager* users = &root->GetUserManager();
};

TEST_P(UserManagerTest, UinsAreUniqueAndNeverHandedOutTwice) {
    users->AddUser("a", 0);
    users->AddUser("b", 0);
    const int64_t a = users->GetUserUin("a");
    const int64_t b = users->GetUserUin("b");
    EXPECT_GT(a, 0);
    EXPECT_NE(a, b);
    users->DeleteUser("b");
    users->AddUser("c", 0);
    EXPECT_NE(users->GetUserUin("c"), b);  // the deleted user's uin stays retired

    users->AddUser("chosen", 777777);
    EXPECT_EQ(users->GetUserUin("chosen"), 777777);
    EXPECT_IM_ERROR(im_code::kAlreadyExists, users->AddUser("again", 777777));
    EXPECT_FALSE(users->IsUserExist("again"));
    users->AddUser("next", 0);  // continues past an explicitly chosen uin
    EXPECT_GT(users->GetUserUin("next"), 777777);
}

TEST_P(UserManagerTest, AccountsAreUniqueInAnyLetterCase) {
    users->AddUser("Alice", 0);
    EXPECT_IM_ERROR(im_code::kAlreadyExists, users->AddUser("alice", 0));
    EXPECT_TRUE(users->IsUserExist("ALICE"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->AddUser("", 0));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->AddUser("line\nbreak", 0));
    users->DeleteUser("aLiCe");
    EXPECT_FALSE(users->IsUserExist("Alice"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->DeleteUser("Alice"));
}

TEST_P(UserManagerTest, BasicInfoAndDetailRoundTrip) {
    users->AddUser("zhang.san", 0);
    UserBasicInfo fresh = users->GetUserBasicInfo("zhang.san");
    EXPECT_EQ(fresh.name, "");
    EXPECT_EQ(fresh.gender, 0);
    UserDetail empty = users->GetUserDetail("zhang.san");
    EXPECT_EQ(empty.Position(), "");
    EXPECT_EQ(empty.Level(), 0);

    users->SetUserBasicInfo("zhang.san", "张 三 \"&<>'", 1, "13800000000", "z@example.cn",
                            "010-1234", -5);
    UserBasicInfo info = users->GetUserBasicInfo("zhang.san");
    EXPECT_EQ(info.name, "张 三 \"&<>'");
    EXPECT_EQ(info.gender, 1);
    EXPECT_EQ(info.mobile, "13800000000");
    EXPECT_EQ(info.email, "z@example.cn");
    EXPECT_EQ(info.phone, "010-1234");
    EXPECT_EQ(info.auth, -5);

    // Position and level are what every directory keeps of the record.
    UserDetail detail;
    detail.Position() = "经理";
    detail.Level() = INT32_MIN;
    users->SetUserDetail("zhang.san", detail);
    UserDetail back = users->GetUserDetail("zhang.san");
    EXPECT_EQ(back.Position(), "经理");
    EXPECT_EQ(back.Level(), INT32_MIN);
    UserRecord record = users->GetUserRecord("ZHANG.SAN");
    EXPECT_EQ(record.basic.name, info.name);
    EXPECT_EQ(record.uin, users->GetUserUin("zhang.san"));
    EXPECT_EQ(record.detail.Position(), "经理");
}

TEST_P(UserManagerTest, CallsOnAMissingUserFail) {
    EXPECT_FALSE(users->IsUserExist("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserBasicInfo("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserUin("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserDetail("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserDetail("ghost", UserDetail{}));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserBasicInfo("ghost", "n", 0, "", "", "", 0));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserPassword("ghost", "pw"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->DeleteUser("ghost"));
}

TEST_P(UserManagerTest, PasswordsAreVerifiedForTheAccountInAnyCase) {
    users->AddUser("li", 0);
    EXPECT_EQ(root->VerifyPassword("li", ""), 1);  // none set: nothing matches
    EXPECT_EQ(root->VerifyPassword("ghost", "x"), 2);
    EXPECT_EQ(root->VerifyPassword("ghost", ""), 2);

    users->SetUserPassword("li", "密码 pass");
    EXPECT_EQ(root->VerifyPassword("li", "密码 pass"), 0);
    EXPECT_EQ(root->VerifyPassword("LI", "密码 pass"), 0);
    EXPECT_EQ(users->GetAccountName("LI"), "li");
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetAccountName("ghost"));
    EXPECT_NE(root->VerifyPassword("li", "密码 pas"), 0);
    EXPECT_NE(root->VerifyPassword("li", ""), 0);

    users->SetUserPassword("li", "new");
    EXPECT_NE(root->VerifyPassword("li", "密码 pass"), 0);
    EXPECT_EQ(root->VerifyPassword("li", "new"), 0);

    // The two halves, as an addition inside a unit of work uses them.
    users->SetUserPreparedPassword("li", users->PreparePassword("third"));
    EXPECT_EQ(root->VerifyPassword("li", "third"), 0);
}

TEST_P(UserManagerTest, RefusesTextXmlCannotCarry) {
    users->AddUser("u", 0);
    EXPECT_IM_ERROR(im_code::kInvalidArgument,
                    users->SetUserBasicInfo("u", std::string("a\0b", 3), 0, "", "", "", 0));
    EXPECT_IM_ERROR(im_code::kInvalidArgument,
                    users->SetUserBasicInfo("u", "\xe4\xb8", 0, "", "", "", 0));
    UserDetail detail;
    detail.texts[3] = "\x01";
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->SetUserDetail("u", detail));
    // Line breaks and tabs are ordinary text.
    users->SetUserBasicInfo("u", "two\nlines\tand tab", 0, "", "", "", 0);
    EXPECT_EQ(users->GetUserBasicInfo("u").name, "two\nlines\tand tab");
}

INSTANTIATE_ON_EVERY_BACKEND(UserManagerTest);

}  // namespace
}  // namespace warden

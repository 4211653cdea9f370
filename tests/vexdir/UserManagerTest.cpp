#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "directory/ImInstallDir.h"
#include "tests/support/TempDir.h"
#include "tests/vexdir/ExpectImError.h"
#include "tests/vexdir/XmlRead.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

class UserManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root = OpenVexDirectory(dir.Path());
        users = &root->GetUserManager();
    }

    // The stored password column, read straight from the file.
    std::string StoredPasswordOf(const std::string& account) {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(ImDatabasePath(dir.Path()).c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT PasswordHash FROM vex_user WHERE Account = ?", -1, &stmt,
                           nullptr);
        sqlite3_bind_text(stmt, 1, account.c_str(), -1, SQLITE_TRANSIENT);
        std::string value;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return value;
    }

    test::TempDir dir;
    std::shared_ptr<ImRoot> root;
    ImUserManager* users = nullptr;
};

TEST_F(UserManagerTest, UinsAreUniqueAndNeverHandedOutTwice) {
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

TEST_F(UserManagerTest, AccountsAreUniqueInAnyLetterCase) {
    users->AddUser("Alice", 0);
    EXPECT_IM_ERROR(im_code::kAlreadyExists, users->AddUser("alice", 0));
    EXPECT_TRUE(users->IsUserExist("ALICE"));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->AddUser("", 0));
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->AddUser("line\nbreak", 0));
    users->DeleteUser("aLiCe");
    EXPECT_FALSE(users->IsUserExist("Alice"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->DeleteUser("Alice"));
}

TEST_F(UserManagerTest, BasicInfoAndDetailRoundTrip) {
    users->AddUser("zhang.san", 0);
    UserBasicInfo fresh = users->GetUserBasicInfo("zhang.san");
    EXPECT_EQ(fresh.name, "");
    EXPECT_EQ(fresh.gender, 0);
    UserDetail empty = users->GetUserDetail("zhang.san");
    EXPECT_EQ(empty.leading, (std::array<int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(empty.Position(), "");

    users->SetUserBasicInfo("zhang.san", "张 三 \"&<>'", 1, "13800000000", "z@example.cn",
                            "010-1234", -5);
    UserBasicInfo info = users->GetUserBasicInfo("zhang.san");
    EXPECT_EQ(info.name, "张 三 \"&<>'");
    EXPECT_EQ(info.gender, 1);
    EXPECT_EQ(info.mobile, "13800000000");
    EXPECT_EQ(info.email, "z@example.cn");
    EXPECT_EQ(info.phone, "010-1234");
    EXPECT_EQ(info.auth, -5);

    UserDetail detail;
    detail.leading = {-1, 2, INT32_MAX};
    for (int i = 0; i < 10; ++i) detail.texts[i] = "第" + std::to_string(i) + "项";
    detail.Position() = "经理";
    detail.Level() = INT32_MIN;
    users->SetUserDetail("zhang.san", detail);
    UserDetail back = users->GetUserDetail("zhang.san");
    EXPECT_EQ(back.leading, detail.leading);
    EXPECT_EQ(back.texts, detail.texts);
    EXPECT_EQ(back.trailing, INT32_MIN);
}

TEST_F(UserManagerTest, CallsOnAMissingUserFail) {
    EXPECT_FALSE(users->IsUserExist("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserBasicInfo("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserUin("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetUserDetail("ghost"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserDetail("ghost", UserDetail{}));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserBasicInfo("ghost", "n", 0, "", "", "", 0));
    EXPECT_IM_ERROR(im_code::kNotFound, users->SetUserPassword("ghost", "pw"));
    EXPECT_IM_ERROR(im_code::kNotFound, users->DeleteUser("ghost"));
}

TEST_F(UserManagerTest, PasswordsAreStoredAsArgon2idHashesAndVerified) {
    users->AddUser("li", 0);
    EXPECT_EQ(root->VerifyPassword("li", ""), 1);  // none set: nothing matches
    EXPECT_EQ(root->VerifyPassword("ghost", "x"), 2);

    users->SetUserPassword("li", "密码 pass");
    const std::string stored = StoredPasswordOf("li");
    EXPECT_EQ(stored.rfind("$argon2id$", 0), 0u) << stored;
    EXPECT_EQ(stored.find("密码"), std::string::npos);
    EXPECT_EQ(root->VerifyPassword("li", "密码 pass"), 0);
    EXPECT_EQ(root->VerifyPassword("LI", "密码 pass"), 0);
    EXPECT_EQ(users->GetAccountName("LI"), "li");
    EXPECT_IM_ERROR(im_code::kNotFound, users->GetAccountName("ghost"));
    EXPECT_NE(root->VerifyPassword("li", "密码 pas"), 0);
    EXPECT_NE(root->VerifyPassword("li", ""), 0);

    users->SetUserPassword("li", "new");
    EXPECT_NE(root->VerifyPassword("li", "密码 pass"), 0);
    EXPECT_EQ(root->VerifyPassword("li", "new"), 0);

    // The two halves: only a hash is ever stored.
    users->SetUserPreparedPassword("li", users->PreparePassword("third"));
    EXPECT_EQ(root->VerifyPassword("li", "third"), 0);
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->SetUserPreparedPassword("li", "plain"));
    EXPECT_EQ(root->VerifyPassword("li", "third"), 0);
}

TEST_F(UserManagerTest, RefusesTextXmlCannotCarry) {
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

}  // namespace
}  // namespace warden

// What only the embedded directory promises: its file on the disk (kept
// across roots, readable by its owner only, holding hashes only), the whole
// detail record, and units that keep other writers waiting.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <future>

#include "directory/ImError.h"
#include "directory/ImInstallDir.h"
#include "tests/directory/ExpectImError.h"
#include "tests/directory/XmlRead.h"
#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

using test::UserNames;
using Names = std::vector<std::string>;

// The stored password column, read straight from the file.
std::string StoredPasswordOf(const std::filesystem::path& installDir, const std::string& account) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(ImDatabasePath(installDir).c_str(), &db), SQLITE_OK);
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

TEST(VexDirectoryTest, EverythingSurvivesReopening) {
    test::TempDir dir;
    {
        auto root = OpenVexDirectory(dir.Path());
        root->GetDeptManager().AddDept("总部", "");
        root->GetDeptManager().AddDept("财务 & 审计", "\\总部");
        root->GetUserManager().AddUser("wang", 0);
        root->GetUserManager().SetUserBasicInfo("wang", "王五", 1, "139", "w@x.cn", "021", 3);
        root->GetDeptManager().AddUserToDept("wang", "", "\\总部\\财务 & 审计", 0);
        root->GetRoleManager().AddRole("审计员", "查账");
        root->GetRoleManager().AddUserToRole("wang", "审计员");
    }
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "db" / "vexdb.db"));
    auto root = OpenVexDirectory(dir.Path());
    EXPECT_EQ(UserNames(root->GetDeptManager().GetDeptUsers("\\总部\\财务 & 审计")), Names{"wang"});
    EXPECT_EQ(root->GetUserManager().GetUserBasicInfo("wang").name, "王五");
    EXPECT_EQ(test::RoleNames(root->GetRoleManager().GetUserRoles("wang")),
              (Names{"User", "审计员"}));
    // Creating again on an existing file neither duplicates nor loses the seed.
    EXPECT_EQ(test::RoleNames(root->GetRoleManager().GetAllRoles()),
              (Names{"User", "管理员", "审计员"}));
}

TEST(VexDirectoryTest, AnUnusableFolderGivesAnImError) {
    test::TempDir dir;
    const auto file = dir.Path() / "plain-file";
    { std::ofstream(file) << "x"; }
    EXPECT_THROW(OpenVexDirectory(file), ImError);  // "db" cannot be made inside a file
    std::filesystem::create_directories(dir.Path() / "other" / "db");
    { std::ofstream(dir.Path() / "other" / "db" / "vexdb.db") << "not a database at all"; }
    EXPECT_THROW(OpenVexDirectory(dir.Path() / "other"), ImError);
}

TEST(VexDirectoryTest, PasswordsAreStoredAsArgon2idHashesOnly) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    ImUserManager* users = &root->GetUserManager();
    users->AddUser("li", 0);
    users->SetUserPassword("li", "密码 pass");
    const std::string stored = StoredPasswordOf(dir.Path(), "li");
    EXPECT_EQ(stored.rfind("$argon2id$", 0), 0u) << stored;
    EXPECT_EQ(stored.find("密码"), std::string::npos);
    users->SetUserPreparedPassword("li", users->PreparePassword("third"));
    EXPECT_EQ(root->VerifyPassword("li", "third"), 0);
    EXPECT_IM_ERROR(im_code::kInvalidArgument, users->SetUserPreparedPassword("li", "plain"));
    EXPECT_EQ(root->VerifyPassword("li", "third"), 0);
}

TEST(VexDirectoryTest, TheWholeDetailRecordIsKept) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    ImUserManager* users = &root->GetUserManager();
    users->AddUser("zhang.san", 0);
    EXPECT_EQ(users->GetUserDetail("zhang.san").leading, (std::array<int32_t, 3>{0, 0, 0}));
    UserDetail detail;
    detail.leading = {-1, 2, INT32_MAX};
    for (int i = 0; i < 10; ++i) detail.texts[i] = "第" + std::to_string(i) + "项";
    detail.Level() = INT32_MIN;
    users->SetUserDetail("zhang.san", detail);
    UserDetail back = users->GetUserDetail("zhang.san");
    EXPECT_EQ(back.leading, detail.leading);
    EXPECT_EQ(back.texts, detail.texts);
    EXPECT_EQ(back.trailing, INT32_MIN);
}

// Other threads' writes wait for the unit rather than slip into it.
TEST(VexDirectoryTest, OtherWritersWaitForTheUnit) {
    test::TempDir dir;
    std::shared_ptr<ImRoot> root = OpenVexDirectory(dir.Path());
    auto unit = root->BeginUnitOfWork();
    root->GetUserManager().AddUser("wang", 0);
    auto other = std::async(std::launch::async, [&] {
        root->GetUserManager().AddUser("li", 0);
        return root->GetUserManager().IsUserExist("wang");
    });
    EXPECT_EQ(other.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    unit.reset();  // rolled back
    EXPECT_FALSE(other.get());
    EXPECT_TRUE(root->GetUserManager().IsUserExist("li"));
    EXPECT_IM_ERROR(im_code::kFail, {
        auto first = root->BeginUnitOfWork();
        auto second = root->BeginUnitOfWork();
    });
}

// The database holds password hashes: only its owner may read it.
TEST(VexDirectoryTest, DatabaseFilesAreTheOwnersAlone) {
    test::TempDir dir;
    std::shared_ptr<ImRoot> root = OpenVexDirectory(dir.Path());
    root->GetUserManager().AddUser("zhang", 0);
    for (const char* name : {"vexdb.db", "vexdb.db-wal", "vexdb.db-shm"}) {
        struct stat st {};
        ASSERT_EQ(::stat((dir.Path() / "db" / name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

}  // namespace
}  // namespace warden

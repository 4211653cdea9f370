#include <gtest/gtest.h>

#include "server/store/PasswordHash.h"
#include "tests/store/StoreFixture.h"

namespace warden::test {
namespace {

// ---- accounts ----

using AdminStoreTest = StoreFixture;

TEST_F(AdminStoreTest, ListLeavesOutSuperAdministratorsAndSortsByName) {
    EXPECT_EQ(store.ListAdmins(), "");  // the template's "admin" is a super row
    raw->Execute("INSERT INTO vex_2nd_admins(admin_name, is_sadmin) VALUES (?, ?)",
                 {std::string("root2"), std::string("yes")});
    raw->Execute("INSERT INTO vex_2nd_admins(admin_name, is_sadmin) VALUES (?, ?)",
                 {std::string("carol"), std::string("")});
    ASSERT_TRUE(store.SaveAdmin("bob", "", ""));
    ASSERT_TRUE(store.SaveAdmin("Alice", "", ""));
    EXPECT_EQ(store.ListAdmins(), "Alice|bob|carol|");
}

TEST_F(AdminStoreTest, SaveAddsARowWithoutPasswordThenReplacesOnlyTheDepartments) {
    ASSERT_TRUE(store.SaveAdmin("bob", "\\销售部;", "经理|"));
    EXPECT_EQ(RowCount("bob"), 1);
    EXPECT_EQ(Column("admin_pwd", "bob"), std::nullopt);
    EXPECT_EQ(Column("is_sadmin", "bob"), std::nullopt);
    EXPECT_EQ(store.GetAdminDepts("bob"), "\\销售部;");
    EXPECT_EQ(store.GetAdminRoles("bob"), "经理|");

    raw->Execute("UPDATE vex_2nd_admins SET admin_pwd='kept' WHERE admin_name='bob'");
    ASSERT_TRUE(store.SaveAdmin("BOB", "\\研发部;\\财务部;", "员工|"));
    EXPECT_EQ(RowCount("bob"), 1);  // names compare in any case
    EXPECT_EQ(Column("admin_name", "bob"), "bob");
    EXPECT_EQ(Column("admin_pwd", "bob"), "kept");
    EXPECT_EQ(store.GetAdminDepts("bob"), "\\研发部;\\财务部;");
    EXPECT_EQ(store.GetAdminRoles("bob"), "员工|");
}

TEST_F(AdminStoreTest, MissingRowsReadEmptyAndChangeSucceeds) {
    EXPECT_EQ(store.GetAdminDepts("nobody"), "");
    EXPECT_EQ(store.GetAdminRoles("nobody"), "");
    EXPECT_TRUE(store.SetPassword("nobody", "x"));
    EXPECT_TRUE(store.DeleteAdmin("nobody"));
    EXPECT_EQ(RowCount("nobody"), 0);
}

TEST_F(AdminStoreTest, DeleteKeepsTheRolesAndNeverRemovesTheSuperAdministrator) {
    ASSERT_TRUE(store.SaveAdmin("bob", "d;", "r|"));
    EXPECT_TRUE(store.DeleteAdmin("Bob"));
    EXPECT_EQ(RowCount("bob"), 0);
    EXPECT_EQ(store.GetAdminRoles("bob"), "r|");

    EXPECT_FALSE(store.DeleteAdmin("ADMIN"));
    EXPECT_EQ(RowCount("admin"), 1);
    EXPECT_TRUE(store.CheckLogin("admin", "admin"));
}

TEST_F(AdminStoreTest, AwkwardValuesAreStoredAndReadBackUnchanged) {
    const std::string quote = "o'brien'; DROP TABLE vex_2nd_admins; --";
    const std::string percent = "100% \\\\server\\share\\ _x_ %s %d";
    const std::string chinese = "\\华东区\\上海办事处;\\研发中心;";
    std::string longText;  // 10,000 characters
    for (int i = 0; i < 3333; ++i) longText += "部门\\";
    longText += "x";
    for (const std::string& name : {quote, percent, std::string("张三")}) {
        for (const std::string& value : {quote, percent, chinese, longText}) {
            ASSERT_TRUE(store.SaveAdmin(name, value, value)) << name;
            EXPECT_EQ(store.GetAdminDepts(name), value);
            EXPECT_EQ(store.GetAdminRoles(name), value);
        }
    }
    EXPECT_EQ(store.ListAdmins(), percent + "|" + quote + "|" + "张三|");
    ASSERT_TRUE(store.SetPassword(quote, percent));
    EXPECT_TRUE(store.CheckLogin(quote, percent));
    EXPECT_FALSE(store.CheckLogin("admin", "' OR '1'='1"));
    EXPECT_TRUE(store.DeleteAdmin(quote));
    EXPECT_EQ(RowCount(quote), 0);
    EXPECT_EQ(RowCount("admin"), 1);
}

TEST_F(AdminStoreTest, PairsTheRolesFileCannotCarryChangeNothing) {
    EXPECT_FALSE(store.SaveAdmin("bob", "d;", "a|\n[admin]\nROLES=x"));
    EXPECT_FALSE(store.SaveAdmin("a]b", "d;", "r|"));
    EXPECT_EQ(RowCount("bob"), 0);
    EXPECT_EQ(RowCount("a]b"), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "RolesAdmin.ini"));
}

TEST_F(AdminStoreTest, ADatabaseErrorLeavesTheRolesFileAlone) {
    ASSERT_TRUE(store.SaveAdmin("bob", "d;", "old|"));
    raw->Execute("DROP TABLE vex_2nd_admins");
    EXPECT_FALSE(store.SaveAdmin("bob", "d2;", "new|"));
    EXPECT_EQ(store.GetAdminRoles("bob"), "old|");
    EXPECT_EQ(store.ListAdmins(), "");
    EXPECT_EQ(store.GetAdminDepts("bob"), "");
    EXPECT_FALSE(store.CheckLogin("admin", "admin"));
    EXPECT_FALSE(store.SetPassword("admin", "x"));
    EXPECT_FALSE(store.DeleteAdmin("bob"));
    EXPECT_FALSE(store.HasAccount("admin"));
}

TEST_F(AdminStoreTest, ASaveTheRolesFileRefusesChangesNeitherRowNorRoles) {
    ASSERT_TRUE(store.SaveAdmin("li", "\\A;", "r1|"));
    // A folder in place of the roles file: it can be neither read nor replaced.
    std::filesystem::remove(dir.Path() / "RolesAdmin.ini");
    std::filesystem::create_directory(dir.Path() / "RolesAdmin.ini");
    EXPECT_FALSE(store.SaveAdmin("li", "\\B;", "r2|"));
    EXPECT_FALSE(store.SaveAdmin("wang", "\\B;", "r2|"));
    EXPECT_EQ(Column("admin_depts", "li"), "\\A;");
    EXPECT_EQ(Column("pending_roles", "li"), std::nullopt);
    EXPECT_EQ(RowCount("wang"), 0);
}

// A kill -9 between the row and the roles file leaves the row with its
// journal; the next start writes the roles, so both end up changed.
TEST_F(AdminStoreTest, ASaveCutShortIsFinishedAtTheNextStart) {
    ASSERT_TRUE(store.SaveAdmin("li", "\\A;", "r1|"));
    EXPECT_EQ(Column("pending_roles", "li"), std::nullopt);
    raw->Execute("UPDATE vex_2nd_admins SET admin_depts=?, pending_roles=? WHERE admin_name=?",
                 {"\\B;", "r2|", "li"});
    raw->Execute(
        "INSERT INTO vex_2nd_admins(admin_name, admin_depts, pending_roles) VALUES (?, ?, ?)",
        {"wang", "\\C;", "r3|"});

    const auto rolesFile = dir.Path() / "RolesAdmin.ini";
    std::filesystem::rename(rolesFile, dir.Path() / "aside");
    std::filesystem::create_directory(rolesFile);
    AdminStore blocked(dir.Path());
    blocked.OpenDatabase(pattern);
    const std::string problem = blocked.FinishPendingSaves();
    EXPECT_NE(problem.find("li, wang"), std::string::npos) << problem;
    EXPECT_EQ(Column("pending_roles", "li"), "r2|");  // kept for the next try

    std::filesystem::remove(rolesFile);
    std::filesystem::rename(dir.Path() / "aside", rolesFile);
    AdminStore restarted(dir.Path());
    restarted.OpenDatabase(pattern);
    EXPECT_EQ(restarted.FinishPendingSaves(), "");
    EXPECT_EQ(restarted.GetAdminRoles("li"), "r2|");
    EXPECT_EQ(restarted.GetAdminRoles("wang"), "r3|");
    EXPECT_EQ(Column("pending_roles", "li"), std::nullopt);
    EXPECT_EQ(Column("pending_roles", "wang"), std::nullopt);
}

// ---- passwords ----

TEST_F(AdminStoreTest, APlainTextPasswordLogsInOnceAndIsThenHashed) {
    ASSERT_EQ(Column("admin_pwd", "admin"), "admin");  // as the template ships it
    EXPECT_TRUE(store.HasInitialPassword());
    EXPECT_FALSE(store.CheckLogin("admin", "wrong"));
    EXPECT_FALSE(store.CheckLogin("admin", "ADMIN"));  // passwords compare exactly
    EXPECT_EQ(Column("admin_pwd", "admin"), "admin");  // a failed login rewrites nothing

    EXPECT_TRUE(store.CheckLogin("ADMIN", "admin"));
    std::string stored = Column("admin_pwd", "admin").value_or("");
    EXPECT_TRUE(stored.starts_with("$argon2id$")) << stored;
    EXPECT_EQ(stored.find("admin"), std::string::npos);

    EXPECT_TRUE(store.CheckLogin("admin", "admin"));
    EXPECT_EQ(Column("admin_pwd", "admin"), stored);  // a current hash stays
    EXPECT_FALSE(store.CheckLogin("admin", "admi"));
    EXPECT_TRUE(store.HasInitialPassword());  // hashed, but still the initial one
}

TEST_F(AdminStoreTest, SetPasswordStoresAHashThatOnlyTheNewPasswordMatches) {
    ASSERT_TRUE(store.SetPassword("Admin", "s3cret 密码"));
    std::string stored = Column("admin_pwd", "admin").value_or("");
    EXPECT_TRUE(IsPasswordHash(stored)) << stored;
    EXPECT_TRUE(store.CheckLogin("admin", "s3cret 密码"));
    EXPECT_FALSE(store.CheckLogin("admin", "admin"));
    EXPECT_FALSE(store.HasInitialPassword());
    EXPECT_TRUE(store.HasAccount("ADMIN"));
}

TEST_F(AdminStoreTest, RowsWithoutAPasswordNeverLogIn) {
    ASSERT_TRUE(store.SaveAdmin("bob", "", ""));
    EXPECT_FALSE(store.CheckLogin("bob", ""));
    EXPECT_FALSE(store.CheckLogin("nobody", ""));
}

}  // namespace
}  // namespace warden::test

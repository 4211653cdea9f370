// The roles administrators may grant, kept in the admin store
// ([ADMIN_STORE] ROLES_IN_STORE=1): saved with the departments in the row,
// read back from it whatever RolesAdmin.ini says, and taken over from that
// file once, when a store switches to this mode.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/store/StoreFixture.h"

namespace warden::test {
namespace {

class RolesInStoreTest : public StoreFixture {
  protected:
    void SetUp() override {
        StoreFixture::SetUp();
        inStore.OpenDatabase(pattern);
    }

    AdminStore inStore{dir.Path(), RolesPlace::kStore};
};

TEST_F(RolesInStoreTest, SavedWithTheDepartmentsInTheRowAndNeverInTheFile) {
    ASSERT_TRUE(inStore.SaveAdmin("bob", "\\销售部;", "经理|"));
    EXPECT_EQ(Column("admin_roles", "bob"), "经理|");
    EXPECT_EQ(Column("pending_roles", "bob"), std::nullopt);
    EXPECT_EQ(inStore.GetAdminRoles("BOB"), "经理|");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "RolesAdmin.ini"));

    ASSERT_TRUE(inStore.SaveAdmin("Bob", "\\研发部;", "员工|总监|"));
    EXPECT_EQ(RowCount("bob"), 1);
    EXPECT_EQ(inStore.GetAdminDepts("bob"), "\\研发部;");
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "员工|总监|");
    // What the file mode could not carry, the row can.
    ASSERT_TRUE(inStore.SaveAdmin("carol", "d;", "line\nbreak|"));
    EXPECT_EQ(inStore.GetAdminRoles("carol"), "line\nbreak|");

    EXPECT_TRUE(inStore.SetAdminRoles("bob", "x|"));
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "x|");
    EXPECT_FALSE(inStore.SetAdminRoles("nobody", "x|"));  // no row to keep them
    EXPECT_EQ(inStore.GetAdminRoles("nobody"), "");

    // They go with the row.
    ASSERT_TRUE(inStore.DeleteAdmin("bob"));
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "");
    ASSERT_TRUE(inStore.SaveAdmin("bob", "d;", ""));
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "");
}

TEST_F(RolesInStoreTest, TakenOverFromTheFileAndTheJournalOnceThenTheFileIsNotRead) {
    // Saved while the roles lived in the file; carol's save was cut short
    // after its row was written.
    ASSERT_TRUE(store.SaveAdmin("bob", "d;", "经理|"));
    ASSERT_TRUE(store.SaveAdmin("carol", "d;", "old|"));
    ASSERT_TRUE(store.SaveAdmin("dave", "d;", ""));
    raw->Execute("UPDATE vex_2nd_admins SET pending_roles=? WHERE admin_name=?",
                 {std::string("总监|"), std::string("carol")});
    raw->Execute("UPDATE vex_2nd_admins SET admin_roles=NULL");

    EXPECT_EQ(inStore.FinishPendingSaves(), "");
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "经理|");
    EXPECT_EQ(inStore.GetAdminRoles("carol"), "总监|");
    EXPECT_EQ(Column("pending_roles", "carol"), std::nullopt);
    EXPECT_EQ(Column("admin_roles", "dave"), "");

    // From now on the file is not read, and a second start changes nothing.
    std::ofstream(dir.Path() / "RolesAdmin.ini", std::ios::trunc) << "[bob]\nROLES=edited|\n";
    EXPECT_EQ(inStore.FinishPendingSaves(), "");
    EXPECT_EQ(inStore.GetAdminRoles("bob"), "经理|");
}

}  // namespace
}  // namespace warden::test

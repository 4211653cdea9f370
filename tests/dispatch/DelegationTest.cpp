#include <gtest/gtest.h>

#include <fstream>

#include "server/dispatch/AdminRoster.h"
#include "server/dispatch/AdminScope.h"
#include "server/store/AdminStore.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

// Every spelling the directory resolves to the same department is judged the
// same way, and no spelling reaches outside.
TEST(AdminScopeTest, PathsCompareAsTheDirectoryLooksThemUp) {
    struct Case {
        const char* path;
        bool covers;
        bool inside;
    };
    const AdminScope scope("\\销售部\\华东区;\\Lab\\East;\\;;");
    for (const Case& c : std::initializer_list<Case>{
             {"\\销售部\\华东区", true, false},
             {"\\\\销售部\\\\华东区\\\\", true, false},
             {"销售部\\华东区", true, false},
             {"\\销售部\\华东区\\上海", true, true},
             {"\\销售部\\\\华东区\\上海\\", true, true},
             {"\\销售部\\华东区2", false, false},
             {"\\销售部\\华东区2\\上海", false, false},
             {"\\销售部", false, false},
             {"", false, false},
             {"\\", false, false},
             {"\\lab\\EAST", true, false},
             {"\\LAB\\east\\Team", true, true},
             {"\\Lab\\Eas", false, false},
             {"\\Lab\\East \\Team", false, false},
         }) {
        EXPECT_EQ(scope.Covers(c.path), c.covers) << c.path;
        EXPECT_EQ(scope.HasInside(c.path), c.inside) << c.path;
    }
    // No departments, or only the top level, hand out nothing.
    EXPECT_FALSE(AdminScope("\\;").Covers("\\销售部"));
    EXPECT_FALSE(AdminScope("").Covers(""));
}

TEST(GrantableRolesTest, RolesCompareWholeInAnyAsciiCase) {
    const GrantableRoles roles("经理|Manager| 顾问|");
    EXPECT_TRUE(roles.MayGrant("经理"));
    EXPECT_TRUE(roles.MayGrant("MANAGER"));
    EXPECT_TRUE(roles.MayGrant(" 顾问"));
    EXPECT_FALSE(roles.MayGrant("顾问"));
    EXPECT_FALSE(roles.MayGrant("经"));
    EXPECT_FALSE(roles.MayGrant(""));
}

// The roster follows the store's writes, the roles file written by anyone,
// and refuses to guess when the store cannot be read.
TEST(AdminRosterTest, FollowsTheStoreAndTheRolesFile) {
    TempDir dir;
    AdminStore store(dir.Path());
    std::string problem;
    ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
    Services services;
    AdminRoster roster(services);
    EXPECT_THROW(roster.Find("bob"), std::runtime_error);  // no store
    services.adminStore = &store;
    EXPECT_THROW(roster.Find("bob"), std::runtime_error);  // not open
    store.OpenDatabase(DefaultAdminStoreConnection());

    EXPECT_FALSE(roster.Find("bob")->isAdmin);
    ASSERT_TRUE(store.SaveAdmin("bob", "\\研发部;", "经理|"));
    auto bob = roster.Find("BOB");
    EXPECT_TRUE(bob->isAdmin);
    EXPECT_TRUE(bob->scope.HasInside("\\研发部\\一组"));
    EXPECT_TRUE(roster.RolesOf("bob").MayGrant("经理"));

    {
        std::ofstream roles(dir.Path() / "RolesAdmin.ini", std::ios::trunc);
        roles << "[Bob]\nROLES=顾问|\n";
    }
    EXPECT_FALSE(roster.RolesOf("bob").MayGrant("经理"));
    EXPECT_TRUE(roster.RolesOf("bob").MayGrant("顾问"));

    ASSERT_TRUE(store.SaveAdmin("bob", "\\销售部;", "顾问|"));
    EXPECT_FALSE(roster.Find("bob")->scope.Covers("\\研发部"));
    ASSERT_TRUE(store.DeleteAdmin("bob"));
    EXPECT_FALSE(roster.Find("bob")->isAdmin);
    // The super administrator's row makes "admin" an administrator too.
    EXPECT_TRUE(roster.Find("Admin")->isAdmin);

    // A roles file that cannot be read decides nothing.
    std::filesystem::remove(dir.Path() / "RolesAdmin.ini");
    std::filesystem::create_directory(dir.Path() / "RolesAdmin.ini");
    EXPECT_THROW(roster.RolesOf("carol"), std::runtime_error);
}

}  // namespace
}  // namespace warden::test

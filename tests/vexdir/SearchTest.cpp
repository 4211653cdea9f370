#include <gtest/gtest.h>

#include "tests/support/TempDir.h"
#include "vexdir/Sqlite.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

// A directory made before the index gets it, over the users it has, when it
// is opened; the index then passes SQLite's own check.
TEST(VexSearchIndexTest, ADirectoryWithoutTheIndexGetsItWhole) {
    test::TempDir dir;
    const auto file = dir.Path() / "db" / "vexdb.db";
    {
        auto root = OpenVexDirectory(dir.Path());
        root->GetUserManager().AddUser("zhao", 0);
        root->GetUserManager().SetUserBasicInfo("zhao", "赵六", 0, "", "", "", 0);
    }
    {
        sqlite::Connection db(file, false);
        db.Exec(
            "DROP TRIGGER vex_user_search_add; DROP TRIGGER vex_user_search_change;"
            "DROP TRIGGER vex_user_search_remove; DROP TABLE vex_user_search_terms;"
            "DROP TABLE vex_user_search; PRAGMA user_version = 1;");
    }
    auto root = OpenVexDirectory(dir.Path());
    std::vector<std::string> found;
    root->GetUserManager().SearchUsers("赵六", [&](UserMatch&& m) {
        found.push_back(m.account);
        return true;
    });
    EXPECT_EQ(found, std::vector<std::string>{"zhao"});
    sqlite::Connection db(file, false);
    EXPECT_NO_THROW(
        db.Exec("INSERT INTO vex_user_search(vex_user_search, rank) VALUES('integrity-check', 1)"));
}

}  // namespace
}  // namespace warden

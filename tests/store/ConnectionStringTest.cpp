#include <gtest/gtest.h>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"

namespace warden::test {
namespace {

TEST(FillConnectionStringTest, PlaceholdersByPositionAndByName) {
    EXPECT_EQ(FillConnectionString("DefaultDir=%s\\DB;DBQ=%s", "/base", "/base/DB/db.dat"),
              "DefaultDir=/base\\DB;DBQ=/base/DB/db.dat");
    EXPECT_EQ(FillConnectionString("Database=%FILE%;Dir=%DIR%;Pct=100%%", "/d", "/d/f"),
              "Database=/d/f;Dir=/d;Pct=100%");
    EXPECT_EQ(FillConnectionString("x=%q%;y=%", "/d", "/f"), "x=%q%;y=%");
}

TEST(ConnectionStringTest, WhetherTheConnectionUsesTheDataFile) {
    const AdminStore store("/srv/warden");
    const struct {
        std::string pattern;
        bool usesFile;
    } cases[] = {
        {DefaultAdminStoreConnection(), true},
        {"DRIVER=SQLite3;Database=%FILE%", true},
        {"DefaultDir=%s;DBQ=%s", true},                  // the second "%s" is the file
        {"DRIVER=SQLite3;Database=%s/DB/db.dat", true},  // the directory, spelt out
        {"DRIVER=SQLite3;Database=%s/other.db", false},
        {"DRIVER=SQLite3;Database=/var/lib/warden.db", false},
        {"DRIVER={PostgreSQL Unicode};Server=db;Port=5432;Database=warden;Uid=w;Pwd=x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(store.UsesDataFile(c.pattern), c.usesFile) << c.pattern;
}

TEST(ConnectionStringTest, PasswordsAreFoundAndHiddenInAnySpelling) {
    const struct {
        std::string connection;
        bool holdsPassword;
        std::string hidden;
    } cases[] = {
        {"DRIVER=x;Uid=w;Pwd=s3cret", true, "DRIVER=x;Uid=w;Pwd=***"},
        {"pwd=a;PASSWORD=b;Server=h", true, "pwd=***;PASSWORD=***;Server=h"},
        {"Password={a;b}}c};Port=1", true, "Password=***;Port=1"},
        {"Server={Pwd=x};Pwd=;Uid=u", false, "Server={Pwd=x};Pwd=;Uid=u"},
        {"DRIVER=SQLite3;Database=/d/f;NoCreat=1", false, "DRIVER=SQLite3;Database=/d/f;NoCreat=1"},
        {"PwdFile=x; Pwd =y", true, "PwdFile=x; Pwd =***"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ConnectionHoldsPassword(c.connection), c.holdsPassword) << c.connection;
        EXPECT_EQ(HidePassword(c.connection), c.hidden) << c.connection;
    }
}

}  // namespace
}  // namespace warden::test

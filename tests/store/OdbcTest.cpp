#include <gtest/gtest.h>

#include <filesystem>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

class OdbcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file = dir.Path() / "t.db";
        std::filesystem::copy_file(BinaryDir() / "DB" / "db.orig", file);
        db = std::make_unique<OdbcConnection>(Connection());
        db->Execute("CREATE TABLE t (k TEXT, n INTEGER, v TEXT)");
    }
    std::string Connection() const {
        return FillConnectionString(DefaultAdminStoreConnection(), dir.Path().string(),
                                    file.string());
    }

    TempDir dir;
    std::filesystem::path file;
    std::unique_ptr<OdbcConnection> db;
};

// The driver reads the sync level from the connection string, and the
// default string asks for FULL: an acknowledged change survives a power loss.
TEST_F(OdbcTest, TheDefaultConnectionSyncsEveryChangeToTheDisk) {
    const std::string fullDefault = Connection();
    const std::string setting = "SyncPragma=FULL";
    ASSERT_NE(fullDefault.find(setting), std::string::npos);
    for (const auto& [value, level] : {std::pair{"OFF", 0}, {"NORMAL", 1}, {"FULL", 2}}) {
        std::string connection = fullDefault;
        connection.replace(connection.find(setting), setting.size(),
                           std::string("SyncPragma=") + value);
        OdbcConnection other(connection);
        OdbcStatement query(other, "PRAGMA synchronous");
        query.Execute();
        ASSERT_TRUE(query.Fetch());
        EXPECT_EQ(query.Integer(1), level) << value;
    }
}

TEST_F(OdbcTest, NullIntegerAndTextParametersRoundTrip) {
    EXPECT_EQ(
        db->Execute("INSERT INTO t VALUES (?, ?, ?)", {std::string("a"), int64_t{-7}, nullptr}), 1);
    EXPECT_EQ(db->Execute("INSERT INTO t VALUES (?, ?, ?)",
                          {std::string("b"), int64_t{1} << 40, std::string()}),
              1);
    OdbcStatement query(*db, "SELECT k, n, v FROM t ORDER BY k");
    query.Execute();
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(query.Text(1), "a");
    EXPECT_EQ(query.Integer(2), -7);
    EXPECT_EQ(query.Text(3), std::nullopt);
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(query.Integer(2), int64_t{1} << 40);
    EXPECT_EQ(query.Text(3), "");  // empty text is not NULL
    EXPECT_FALSE(query.Fetch());
}

TEST_F(OdbcTest, TextsLongerThanOneReadBufferComeBackWhole) {
    std::string big;
    for (int i = 0; big.size() < 100000; ++i) big += "段落" + std::to_string(i) + ";";
    db->Execute("INSERT INTO t (k, v) VALUES ('big', ?)", {big});
    OdbcStatement query(*db, "SELECT v FROM t WHERE k=?");
    query.Execute({std::string("big")});
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(query.Text(1), big);
}

TEST_F(OdbcTest, AStatementRunsAgainWithNewParameters) {
    OdbcStatement insert(*db, "INSERT INTO t (k) VALUES (?)");
    for (const char* k : {"x", "y", "z"}) insert.Execute({std::string(k)});
    OdbcStatement count(*db, "SELECT COUNT(*) FROM t WHERE k>=?");
    count.Execute({std::string("y")});
    ASSERT_TRUE(count.Fetch());
    EXPECT_EQ(count.Integer(1), 2);
    count.Execute({std::string("a")});  // closes the open result first
    ASSERT_TRUE(count.Fetch());
    EXPECT_EQ(count.Integer(1), 3);
}

TEST_F(OdbcTest, FailuresCarryTheDriversDiagnostics) {
    try {
        OdbcStatement bad(*db, "SELECT nosuchcolumn FROM t");
        bad.Execute();
        FAIL() << "a bad column was accepted";
    } catch (const OdbcError& e) {
        EXPECT_FALSE(e.SqlState().empty());
        EXPECT_NE(std::string(e.what()).find("nosuchcolumn"), std::string::npos) << e.what();
    }
    EXPECT_THROW(OdbcConnection("DRIVER=NoSuchDriverAnywhere;Database=x"), OdbcError);
    // The driver is told not to create a missing file.
    EXPECT_THROW(OdbcConnection(FillConnectionString(DefaultAdminStoreConnection(), "",
                                                     (dir.Path() / "missing.db").string())),
                 OdbcError);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "missing.db"));
}

TEST(FillConnectionStringTest, PlaceholdersByPositionAndByName) {
    EXPECT_EQ(FillConnectionString("DefaultDir=%s\\DB;DBQ=%s", "/base", "/base/DB/db.dat"),
              "DefaultDir=/base\\DB;DBQ=/base/DB/db.dat");
    EXPECT_EQ(FillConnectionString("Database=%FILE%;Dir=%DIR%;Pct=100%%", "/d", "/d/f"),
              "Database=/d/f;Dir=/d;Pct=100%");
    EXPECT_EQ(FillConnectionString("x=%q%;y=%", "/d", "/f"), "x=%q%;y=%");
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>

#include <filesystem>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/store/StoreBackend.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

class OdbcTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection = MakeEmptyDatabase(dir.Path());
        db = std::make_unique<OdbcConnection>(connection);
        db->Execute("CREATE TABLE t (k TEXT, n BIGINT, v TEXT)");
    }
    bool Exists(const std::string& table) {
        try {
            db->Execute("SELECT * FROM " + table + " WHERE 1=0");
            return true;
        } catch (const OdbcError&) {
            return false;
        }
    }

    TempDir dir;
    std::string connection;
    std::unique_ptr<OdbcConnection> db;
};

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
}

TEST_F(OdbcTest, ATransactionTakesEffectWholeOnCommitAndNotAtAllOtherwise) {
    {
        OdbcTransaction transaction(*db);
        db->Execute("CREATE TABLE dropped (a TEXT)");
        db->Execute("INSERT INTO t (k) VALUES ('undone')");
    }  // not committed
    EXPECT_FALSE(Exists("dropped"));
    {
        OdbcTransaction transaction(*db);
        db->Execute("CREATE TABLE kept (a TEXT)");
        db->Execute("INSERT INTO t (k) VALUES ('done')");
        transaction.Commit();
    }
    EXPECT_TRUE(Exists("kept"));
    OdbcStatement query(*db, "SELECT k FROM t");
    query.Execute();
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(query.Text(1), "done");
    EXPECT_FALSE(query.Fetch());
    // Auto-commit is back: another session sees a later change at once.
    db->Execute("INSERT INTO t (k) VALUES ('later')");
    OdbcConnection other(connection);
    OdbcStatement count(other, "SELECT COUNT(*) FROM t WHERE k='later'");
    count.Execute();
    ASSERT_TRUE(count.Fetch());
    EXPECT_EQ(count.Integer(1), 1);
}

}  // namespace
}  // namespace warden::test

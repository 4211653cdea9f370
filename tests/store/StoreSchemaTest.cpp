#include <gtest/gtest.h>

#include <stdexcept>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "server/store/StoreSchema.h"
#include "tests/store/StoreBackend.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

using Statements = std::vector<std::string>;

TEST(ParseSchemaTest, SplitsStepsIntoStatementsAtTheirOwnSemicolonsOnly) {
    const auto steps = ParseSchema(R"(-- A header; with "quotes' that are ignored.
CREATE TABLE before_any_step (a TEXT);
-- step: table t
CREATE TABLE t (a TEXT DEFAULT 'x;y', "b;c" TEXT); -- a comment; not a statement
INSERT INTO t VALUES ('it''s; --not a comment', 'z');
CREATE TRIGGER keep BEFORE DELETE ON t BEGIN
    SELECT CASE WHEN 1 THEN RAISE(ABORT, 'no;') END;
    SELECT 1;
END;
  -- step: column t.d
ALTER TABLE t ADD COLUMN d TEXT;
CREATE FUNCTION f() RETURNS trigger AS $body$ BEGIN RETURN NULL; END; $body$ LANGUAGE plpgsql;
SELECT $1)");
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].table, "t");
    EXPECT_EQ(steps[0].column, "");
    EXPECT_EQ(steps[0].statements,
              (Statements{"CREATE TABLE t (a TEXT DEFAULT 'x;y', \"b;c\" TEXT)",
                          "INSERT INTO t VALUES ('it''s; --not a comment', 'z')",
                          "CREATE TRIGGER keep BEFORE DELETE ON t BEGIN\n    SELECT CASE WHEN 1 "
                          "THEN RAISE(ABORT, 'no;') END;\n    SELECT 1;\nEND"}));
    EXPECT_EQ(steps[1].table, "t");
    EXPECT_EQ(steps[1].column, "d");
    EXPECT_EQ(steps[1].statements,
              (Statements{"ALTER TABLE t ADD COLUMN d TEXT",
                          "CREATE FUNCTION f() RETURNS trigger AS $body$ BEGIN RETURN NULL; END; "
                          "$body$ LANGUAGE plpgsql",
                          "SELECT $1"}));

    for (const char* bad :
         {"-- step: index i\nCREATE INDEX i ON t(a);", "-- step: table\nCREATE TABLE t (a TEXT);",
          "-- step: column t\nALTER TABLE t ADD COLUMN c TEXT;",
          "-- step: table t; DROP TABLE u\nCREATE TABLE t (a TEXT);",
          "-- step: table t\n-- only a comment\n-- step: table u\nSELECT 1;"}) {
        EXPECT_THROW(ParseSchema(bad), std::invalid_argument) << bad;
    }
}

// A step added to one database's schema and not to the other's would leave
// the stores of one kind of site behind.
TEST(ParseSchemaTest, TheBuiltInSchemasHaveTheSameSteps) {
    const auto& sqlite = StoreSchema(StoreDialect::kSqlite);
    const auto& postgres = StoreSchema(StoreDialect::kPostgres);
    ASSERT_EQ(sqlite.size(), postgres.size());
    ASSERT_FALSE(sqlite.empty());
    EXPECT_EQ(sqlite.front().table, "vex_2nd_admins");
    for (size_t i = 0; i < sqlite.size(); ++i) {
        EXPECT_EQ(sqlite[i].table, postgres[i].table) << "step " << i;
        EXPECT_EQ(sqlite[i].column, postgres[i].column) << "step " << i;
    }
}

class ApplySchemaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        connection = MakeEmptyDatabase(dir.Path());
        db = std::make_unique<OdbcConnection>(connection);
    }
    bool Exists(const std::string& what) {
        try {
            db->Execute("SELECT " + what + " WHERE 1=0");
            return true;
        } catch (const OdbcError&) {
            return false;
        }
    }

    // Written so that SQLite and PostgreSQL both run it.
    const std::string kFirst = R"(
-- step: table accounts
CREATE TABLE accounts (name TEXT NOT NULL PRIMARY KEY, depts TEXT);
INSERT INTO accounts (name, depts) VALUES ('admin', NULL);
)";
    const std::string kLater = R"(
-- step: column accounts.journal
ALTER TABLE accounts ADD COLUMN journal TEXT;
-- step: table trail
CREATE TABLE trail (stamp BIGINT NOT NULL, what TEXT);
CREATE INDEX trail_stamp ON trail (stamp);
)";
    TempDir dir;
    std::string connection;
    std::unique_ptr<OdbcConnection> db;
};

TEST_F(ApplySchemaTest, CreatesWhatIsMissingInOrderAndThenNothing) {
    SchemaResult result = ApplySchema(*db, ParseSchema(kFirst + kLater), SchemaMode::kCreate);
    EXPECT_FALSE(result.storeFound);
    EXPECT_EQ(result.applied, (Statements{"created table accounts", "added column accounts.journal",
                                          "created table trail"}));
    EXPECT_TRUE(Exists("name, depts, journal FROM accounts"));
    EXPECT_TRUE(Exists("stamp, what FROM trail"));

    result = ApplySchema(*db, ParseSchema(kFirst + kLater), SchemaMode::kCreate);
    EXPECT_TRUE(result.storeFound);
    EXPECT_TRUE(result.applied.empty());
}

TEST_F(ApplySchemaTest, AnUpgradeAddsOnlyTheNewStepsAndKeepsTheRows) {
    // Nothing where there is no store: a wrong database stays untouched.
    SchemaResult result = ApplySchema(*db, ParseSchema(kFirst + kLater), SchemaMode::kUpgrade);
    EXPECT_FALSE(result.storeFound);
    EXPECT_TRUE(result.applied.empty());
    EXPECT_FALSE(Exists("* FROM accounts"));

    // A store made by an earlier version, in use since.
    ApplySchema(*db, ParseSchema(kFirst), SchemaMode::kCreate);
    db->Execute("UPDATE accounts SET depts='\\销售部;' WHERE name='admin'");
    result = ApplySchema(*db, ParseSchema(kFirst + kLater), SchemaMode::kUpgrade);
    EXPECT_TRUE(result.storeFound);
    EXPECT_EQ(result.applied, (Statements{"added column accounts.journal", "created table trail"}));
    OdbcStatement query(*db, "SELECT name, depts, journal FROM accounts");
    query.Execute();
    ASSERT_TRUE(query.Fetch());
    EXPECT_EQ(query.Text(1), "admin");
    EXPECT_EQ(query.Text(2), "\\销售部;");
    EXPECT_EQ(query.Text(3), std::nullopt);
    EXPECT_FALSE(query.Fetch());
}

TEST_F(ApplySchemaTest, AStepThatFailsLeavesNothingOfItself) {
    const std::string broken = kFirst + R"(
-- step: table half
CREATE TABLE half (a TEXT);
INSERT INTO no_such_table VALUES (1);
)";
    EXPECT_THROW(ApplySchema(*db, ParseSchema(broken), SchemaMode::kCreate), OdbcError);
    EXPECT_TRUE(Exists("* FROM accounts"));  // the steps before it stay
    // Otherwise the next run would take the half-made table for a done step.
    EXPECT_FALSE(Exists("* FROM half"));
}

TEST_F(ApplySchemaTest, TheAdminStoreIsCreatedOnlyOnRequest) {
    TempDir base;
    AdminStore store(base.Path());
    // Opening a database without a store says how to make one, and makes nothing.
    try {
        store.OpenDatabase(connection);
        FAIL() << "an empty database was opened as an admin store";
    } catch (const OdbcError& e) {
        EXPECT_NE(std::string(e.what()).find("--init-store"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(Exists("* FROM vex_2nd_admins"));

    // Every step applies to a new store, the accounts table first.
    const Statements created = store.InitDatabase(connection);
    ASSERT_EQ(created.size(), StoreSchema(StoreDialect::kSqlite).size());
    EXPECT_EQ(created.front(), "created table vex_2nd_admins");
    EXPECT_EQ(store.InitDatabase(connection), Statements{});
    store.OpenDatabase(connection);
    EXPECT_TRUE(store.HasInitialPassword());
    EXPECT_FALSE(store.DeleteAdmin("Admin"));  // the super administrator's row
}

}  // namespace
}  // namespace warden::test

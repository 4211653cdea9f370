// The SQLite data file DB/db.dat and its template.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {
namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& data) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

// ---- the data file and its template ----

TEST(EnsureDataFileTest, CopiesTheProgramsTemplateIntoAnEmptyBaseDirectory) {
    TempDir base;
    AdminStore store(base.Path());
    std::string problem;
    ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
    EXPECT_EQ(ReadFile(store.DataFile()), ReadFile(BinaryDir() / "DB" / "db.orig"));
    // Only the data file is left behind: no temporary copy.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base.Path() / "DB"), {}), 1);
}

// The driver reads the sync level from the connection string, and the
// default string asks for FULL: an acknowledged change survives a power loss.
TEST(EnsureDataFileTest, TheDefaultConnectionSyncsEveryChangeToTheDisk) {
    TempDir base;
    AdminStore store(base.Path());
    std::string problem;
    ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
    const std::string fullDefault = FillConnectionString(
        DefaultAdminStoreConnection(), base.Path().string(), store.DataFile().string());
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

TEST(EnsureDataFileTest, PrefersTheBaseDirectorysTemplateAndNeverOverwrites) {
    TempDir base, program;
    WriteFile(base.Path() / "DB" / "db.orig", "from the base directory");
    WriteFile(program.Path() / "DB" / "db.orig", "from beside the program");
    AdminStore store(base.Path());
    std::string problem;
    ASSERT_TRUE(store.EnsureDataFile(program.Path(), problem)) << problem;
    EXPECT_EQ(ReadFile(store.DataFile()), "from the base directory");

    WriteFile(store.DataFile(), "live data");
    ASSERT_TRUE(store.EnsureDataFile(program.Path(), problem));
    EXPECT_EQ(ReadFile(store.DataFile()), "live data");
}

TEST(EnsureDataFileTest, FailsWithAReasonWhenThereIsNoTemplateOrNoRoomForTheCopy) {
    TempDir base, program;
    AdminStore store(base.Path());
    std::string problem;
    EXPECT_FALSE(store.EnsureDataFile(program.Path(), problem));
    EXPECT_NE(problem.find("db.orig"), std::string::npos) << problem;
    EXPECT_FALSE(std::filesystem::exists(store.DataFile()));

    // "DB" is a file, so the folder for the copy cannot be made.
    WriteFile(program.Path() / "DB" / "db.orig", "template");
    WriteFile(base.Path() / "DB", "in the way");
    problem.clear();
    EXPECT_FALSE(store.EnsureDataFile(program.Path(), problem));
    EXPECT_NE(problem.find("创建数据库文件失败，请检查文件夹权限。"), std::string::npos) << problem;
}

TEST(OpenDatabaseTest, RefusesAFileThatIsNotAnAdminStore) {
    TempDir base;
    AdminStore store(base.Path());
    WriteFile(store.DataFile(), std::string(4096, 'x'));
    EXPECT_THROW(store.OpenDatabase(DefaultAdminStoreConnection()), OdbcError);
    EXPECT_FALSE(store.CheckLogin("admin", "admin"));
    EXPECT_EQ(store.ListAdmins(), "");
    EXPECT_FALSE(store.SaveAdmin("bob", "d;", "r|"));
    EXPECT_EQ(store.GetAdminRoles("bob"), "");  // nothing half-done
}

TEST(OpenDatabaseTest, TheDriverIsToldNotToCreateAMissingFile) {
    TempDir base;
    AdminStore store(base.Path());
    EXPECT_THROW(store.OpenDatabase(DefaultAdminStoreConnection()), OdbcError);
    EXPECT_FALSE(std::filesystem::exists(store.DataFile()));
}

TEST(OpenDatabaseTest, AcceptsAConnectionStringWithPositionalPlaceholders) {
    TempDir base;
    AdminStore store(base.Path());
    std::string problem;
    ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem));
    // The shape of the original design's string: directory first, file second.
    std::string pattern = DefaultAdminStoreConnection();
    pattern.replace(pattern.find("%FILE%"), 6, "%s");
    store.OpenDatabase("DefaultDir=%s/DB;" + pattern);
    EXPECT_TRUE(store.CheckLogin("admin", "admin"));
}

// A data file made before the save journal existed: it gains the column and
// keeps everything else.
TEST(OpenDatabaseTest, AStoreWithoutTheJournalIsUpgradedAndKeepsItsRows) {
    TempDir base;
    AdminStore store(base.Path());
    std::filesystem::create_directories(store.DataFile().parent_path());
    {
        OdbcConnection old(FillConnectionString("DRIVER=" + SqliteOdbcDriver() + ";Database=%FILE%",
                                                "", store.DataFile().string()));
        old.Execute(
            "CREATE TABLE vex_2nd_admins (admin_name TEXT COLLATE NOCASE NOT NULL PRIMARY KEY, "
            "admin_pwd TEXT, admin_depts TEXT, is_sadmin TEXT)");
        old.Execute(
            "INSERT INTO vex_2nd_admins VALUES ('admin', 'secret', NULL, '1'), "
            "('li', NULL, '\\A;', NULL)");
    }
    store.OpenDatabase(DefaultAdminStoreConnection());
    EXPECT_EQ(store.FinishPendingSaves(), "");
    EXPECT_TRUE(store.CheckLogin("admin", "secret"));
    EXPECT_EQ(store.ListAdmins(), "li|");
    EXPECT_EQ(store.GetAdminDepts("li"), "\\A;");
    EXPECT_TRUE(store.SaveAdmin("li", "\\B;", "r|"));
    EXPECT_EQ(store.GetAdminRoles("li"), "r|");
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "directory/ImInstallDir.h"
#include "tests/directory/ExpectImError.h"
#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden {
namespace {

// Registrations as stored: "guid|name|progId|receiver|address|port|started".
std::vector<std::string> StoredRegistrations(const std::filesystem::path& installDir) {
    sqlite3* db = nullptr;
    sqlite3_open(ImDatabasePath(installDir).c_str(), &db);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT AppGuid || '|' || AppName || '|' || ProgId || '|' || ReceiverName "
                       "|| '|' || ServerAddress || '|' || ServerPort || '|' || "
                       "(StartedAt IS NOT NULL) FROM vex_application ORDER BY AppGuid",
                       -1, &stmt, nullptr);
    std::vector<std::string> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

TEST(ApplicationTest, RegisterThenStartIsRecordedAndReRegisteringReplaces) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    ImApplication& app = root->GetApplication();
    EXPECT_EQ(&app, &root->GetApplication());  // one application object per root

    app.SetServerAddress("127.0.0.1");
    app.SetServerPort(8006);
    app.SetAppGuid("{GUID-1}");
    EXPECT_IM_ERROR(im_code::kInvalidArgument, app.Register());  // no name yet
    EXPECT_IM_ERROR(im_code::kFail, app.Start("", 1000));        // not registered
    app.SetAppName("VEXWardenServer");
    app.SetProgId("Quillon.VEX.VEXWardenServer");
    app.SetReceiverName("WARDEN_DATA_RECEIVER");
    app.SetOptionText1("All");
    app.Register();
    EXPECT_EQ(StoredRegistrations(dir.Path()),
              std::vector<std::string>{"{GUID-1}|VEXWardenServer|Quillon.VEX.VEXWardenServer|"
                                       "WARDEN_DATA_RECEIVER|127.0.0.1|8006|0"});
    app.Start("", 1000);
    EXPECT_EQ(StoredRegistrations(dir.Path()).at(0).back(), '1');

    // A second Start of the server makes a new root and registers again.
    auto again = OpenVexDirectory(dir.Path());
    ImApplication& second = again->GetApplication();
    second.SetServerAddress("127.0.0.1");
    second.SetAppGuid("{guid-1}");
    second.SetAppName("Renamed");
    second.Register();
    ASSERT_EQ(StoredRegistrations(dir.Path()).size(), 1u);
    EXPECT_EQ(StoredRegistrations(dir.Path())[0].rfind("{guid-1}|Renamed|", 0), 0u);
    EXPECT_IM_ERROR(im_code::kInvalidArgument, second.SetServerPort(70000));
}

// The directory lives in this process: it answers at this machine's
// addresses only, and says so for any other.
TEST(ApplicationTest, RegistersOnlyAtAnAddressOfThisMachine) {
    test::TempDir dir;
    auto root = OpenVexDirectory(dir.Path());
    ImApplication& app = root->GetApplication();
    app.SetAppGuid("{GUID-1}");
    app.SetAppName("VEXWardenServer");
    for (const char* address : {"192.0.2.1", "10.1", "", "localhost"}) {
        app.SetServerAddress(address);
        EXPECT_IM_ERROR(0x800706BA, app.Register());
    }
    EXPECT_TRUE(StoredRegistrations(dir.Path()).empty());
    for (const char* address : {"127.0.0.1", "127.1.2.3"}) {
        app.SetServerAddress(address);
        app.Register();
    }
    EXPECT_EQ(StoredRegistrations(dir.Path()).size(), 1u);
}

}  // namespace
}  // namespace warden

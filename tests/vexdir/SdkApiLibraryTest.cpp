#include <gtest/gtest.h>

#include <cstdlib>

#include "server/im/SdkApiLibrary.h"
#include "tests/vexdir/OrderingFixture.h"

namespace warden {
namespace {

using Names = std::vector<std::string>;

struct Outcome {
    int32_t status = 0;
    int32_t changed = -1;
    int32_t newSort = -1;
    std::string detail;
};

class SdkApiLibraryTest : public test::OrderingFixture {
  protected:
    void SetUp() override {
        OrderingFixture::SetUp();
        std::string error;
        library = SdkApiLibrary::Load(WARDEN_SDKAPIC_FILE, error);
        ASSERT_TRUE(library) << error;
    }

    // Runs command 259 with the given properties (key, value) as texts.
    Outcome Run(const std::vector<std::pair<std::string, std::string>>& properties,
                int32_t command = VEXSDK_CMD_UPDATE_DEPT) {
        const VexSdkApi& api = library->Api();
        VexSdkObject* object = api.CreateObject(VEXSDK_OBJECT_DEPTMANAGER);
        EXPECT_NE(object, nullptr);
        VexSdkPropertySet* props = api.CreatePropertySet();
        for (const auto& [key, value] : properties) {
            VexSdkVariant k{VEXSDK_VT_TEXT, 0, key.c_str()};
            VexSdkVariant v{VEXSDK_VT_TEXT, 0, value.c_str()};
            EXPECT_EQ(api.SetProperty(props, &k, &v), VEXSDK_OK);
        }
        Outcome outcome;
        VexSdkVariant detail{};
        outcome.status =
            api.Execute(object, props, command, &outcome.changed, &outcome.newSort, &detail);
        if (detail.type == VEXSDK_VT_TEXT && detail.text) outcome.detail = detail.text;
        api.ReleasePropertySet(props);
        api.ReleaseObject(object);
        return outcome;
    }

    int64_t IdOf(const std::string& name) {
        sqlite3* db = nullptr;
        sqlite3_open(ImDatabasePath(dir.Path()).c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT DeptID FROM vex_dept WHERE DeptName = ?", -1, &stmt,
                           nullptr);
        sqlite3_bind_text(stmt, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        int64_t id = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return id;
    }

    Outcome Place(const std::string& name, int64_t sort) {
        return Run({{"DEPTID", std::to_string(IdOf(name))},
                    {"SortID", std::to_string(sort)},
                    {"INSTALLDIR", dir.Path().string()}});
    }

    std::unique_ptr<SdkApiLibrary> library;
};

TEST_F(SdkApiLibraryTest, TableHasTheUsedEntriesAtTheirPositions) {
    const VexSdkApi& api = library->Api();
    auto slots = reinterpret_cast<void* const*>(&api);
    for (int position : {0, 1, 2, 5, 6, 8, 9, 13, 16, 19}) {
        EXPECT_NE(slots[position], nullptr) << position;
    }
    EXPECT_EQ(api.GetVersion(), VEXSDK_TABLE_VERSION);
    unsigned char scratch[32] = {};
    EXPECT_EQ(api.Initialize(scratch, 32, 0), VEXSDK_OK);
    EXPECT_EQ(api.CreateObject("USERMANAGER"), nullptr);
    VexSdkObject* object = api.CreateObject("deptmanager");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(api.SetServerAddress(object, "127.0.0.1"), VEXSDK_OK);
    EXPECT_EQ(api.SetServerPort(object, VEXSDK_DEPT_SERVICE_PORT), VEXSDK_OK);
    EXPECT_EQ(api.SetServerPort(object, 70000), VEXSDK_E_ARGUMENT);
    api.ReleaseObject(object);
}

TEST_F(SdkApiLibraryTest, PlacesAfterSiblingsAtOrBelowTheSortAndRenumbers) {
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C", "D", "E"}));
    // Before B (sort 20): 19.
    Outcome before = Place("D", 19);
    EXPECT_EQ(before.status, VEXSDK_OK) << before.detail;
    EXPECT_EQ(Order("\\甲"), (Names{"A", "D", "B", "C", "E"}));
    EXPECT_EQ(before.newSort, 20);
    EXPECT_EQ(before.changed, 3);  // D, B and C moved; A and E kept theirs
    // Last: the last sibling's sort.
    EXPECT_EQ(Place("A", 50).status, VEXSDK_OK);
    EXPECT_EQ(Order("\\甲"), (Names{"D", "B", "C", "E", "A"}));
    // First: below every sort.
    EXPECT_EQ(Place("E", 9).status, VEXSDK_OK);
    EXPECT_EQ(Order("\\甲"), (Names{"E", "D", "B", "C", "A"}));
    EXPECT_EQ(Sorts(IdOf("甲")), (std::vector<int64_t>{10, 20, 30, 40, 50}));
    // Other levels are untouched.
    EXPECT_EQ(Order(""), (Names{"甲", "乙", "丙", "丁"}));
    EXPECT_EQ(Order("\\甲\\B"), Names{"深层"});
}

TEST_F(SdkApiLibraryTest, TopLevelDepartmentsAndUnevenSortsAreHandled) {
    Sql("UPDATE vex_dept SET SortID = 0 WHERE PDeptID = 0");  // all tied, as imported data may be
    EXPECT_EQ(Place("甲", 0).status, VEXSDK_OK);              // after every sibling sorted at 0
    EXPECT_EQ(Order(""), (Names{"乙", "丙", "丁", "甲"}));
    EXPECT_EQ(Sorts(0), (std::vector<int64_t>{10, 20, 30, 40}));
    EXPECT_EQ(Place("丁", -100).status, VEXSDK_OK);
    EXPECT_EQ(Order(""), (Names{"丁", "乙", "丙", "甲"}));
}

TEST_F(SdkApiLibraryTest, RefusesStaleOrMissingDepartmentsAndChangesNothing) {
    const std::string b = std::to_string(IdOf("B"));
    Outcome renamed =
        Run({{"DEPTID", b}, {"SortID", "5"}, {"NAME", "X"}, {"INSTALLDIR", dir.Path().string()}});
    EXPECT_EQ(renamed.status, VEXSDK_E_CONFLICT);
    EXPECT_FALSE(renamed.detail.empty());
    EXPECT_EQ(
        Run({{"DEPTID", b}, {"SortID", "5"}, {"PDEPTID", "0"}, {"INSTALLDIR", dir.Path().string()}})
            .status,
        VEXSDK_E_CONFLICT);
    EXPECT_EQ(Run({{"deptid", b},
                   {"sortid", "5"},
                   {"name", "b"},
                   {"pdeptid", std::to_string(IdOf("甲"))},
                   {"info", ""},
                   {"installdir", dir.Path().string()}})
                  .status,
              VEXSDK_OK);  // keys and the name in any letter case
    EXPECT_EQ(Order("\\甲"), (Names{"B", "A", "C", "D", "E"}));

    EXPECT_EQ(Place("nothing", 10).status, VEXSDK_E_NOT_FOUND);
    EXPECT_EQ(Run({{"DEPTID", "abc"}, {"SortID", "5"}, {"INSTALLDIR", dir.Path().string()}}).status,
              VEXSDK_E_ARGUMENT);
    EXPECT_EQ(Run({{"DEPTID", b}, {"INSTALLDIR", dir.Path().string()}}).status, VEXSDK_E_ARGUMENT);
    EXPECT_EQ(
        Run({{"DEPTID", b}, {"SortID", "5"}, {"INSTALLDIR", dir.Path().string()}}, 260).status,
        VEXSDK_E_COMMAND);
    EXPECT_EQ(Order("\\甲"), (Names{"B", "A", "C", "D", "E"}));
}

TEST_F(SdkApiLibraryTest, FindsTheDirectoryOnlyWhereItIs) {
    const std::string b = std::to_string(IdOf("B"));
    test::TempDir empty;
    EXPECT_EQ(Run({{"DEPTID", b}, {"SortID", "5"}, {"INSTALLDIR", empty.Path().string()}}).status,
              VEXSDK_E_NO_DIRECTORY);
    EXPECT_FALSE(std::filesystem::exists(ImDatabasePath(empty.Path())));  // nothing created

    unsetenv("VEX_INSTALLDIR");
    EXPECT_EQ(Run({{"DEPTID", b}, {"SortID", "5"}}).status, VEXSDK_E_NO_DIRECTORY);
    setenv("VEX_INSTALLDIR", dir.Path().c_str(), 1);
    EXPECT_EQ(Run({{"DEPTID", b}, {"SortID", "5"}}).status, VEXSDK_OK);
    unsetenv("VEX_INSTALLDIR");
    EXPECT_EQ(Order("\\甲"), (Names{"B", "A", "C", "D", "E"}));
}

TEST_F(SdkApiLibraryTest, NumericVariantsAndNullArgumentsAreHandled) {
    const VexSdkApi& api = library->Api();
    VexSdkPropertySet* props = api.CreatePropertySet();
    VexSdkVariant key{VEXSDK_VT_TEXT, 0, "SortID"};
    VexSdkVariant number{VEXSDK_VT_INT, 41, nullptr};
    VexSdkVariant empty{VEXSDK_VT_EMPTY, 0, nullptr};
    EXPECT_EQ(api.SetProperty(props, &key, &number), VEXSDK_OK);
    EXPECT_EQ(api.SetProperty(props, &key, &empty), VEXSDK_E_ARGUMENT);
    EXPECT_EQ(api.SetProperty(props, &number, &number), VEXSDK_E_ARGUMENT);
    EXPECT_EQ(api.SetProperty(nullptr, &key, &number), VEXSDK_E_ARGUMENT);
    const std::string installDir = dir.Path().string();
    VexSdkVariant dirKey{VEXSDK_VT_TEXT, 0, "INSTALLDIR"};
    VexSdkVariant dirValue{VEXSDK_VT_TEXT, 0, installDir.c_str()};
    VexSdkVariant idKey{VEXSDK_VT_TEXT, 0, "DEPTID"};
    VexSdkVariant idValue{VEXSDK_VT_INT, IdOf("A"), nullptr};
    api.SetProperty(props, &dirKey, &dirValue);
    api.SetProperty(props, &idKey, &idValue);
    VexSdkObject* object = api.CreateObject(VEXSDK_OBJECT_DEPTMANAGER);
    EXPECT_EQ(api.Execute(nullptr, props, VEXSDK_CMD_UPDATE_DEPT, nullptr, nullptr, nullptr),
              VEXSDK_E_ARGUMENT);
    // Outputs are optional.
    EXPECT_EQ(api.Execute(object, props, VEXSDK_CMD_UPDATE_DEPT, nullptr, nullptr, nullptr),
              VEXSDK_OK);
    EXPECT_EQ(Order("\\甲"), (Names{"B", "C", "D", "A", "E"}));
    api.ReleaseObject(object);
    api.ReleasePropertySet(props);
}

}  // namespace
}  // namespace warden

#include <gtest/gtest.h>

#include <fstream>

#include "server/im/DeptOrdering.h"
#include "server/im/SdkApiLibrary.h"
#include "tests/vexdir/OrderingFixture.h"

namespace warden {
namespace {

using Names = std::vector<std::string>;

class DeptOrderingTest : public test::OrderingFixture {
  protected:
    DeptOrdering Open(const std::filesystem::path& library = WARDEN_SDKAPIC_FILE) {
        return DeptOrdering(dir.Path(), "127.0.0.1", library);
    }
};

TEST_F(DeptOrderingTest, FindsDepartmentsByPathFromTheTopLevel) {
    DeptOrdering ordering = Open();
    ASSERT_TRUE(ordering.Available()) << ordering.UnavailableReason();
    auto top = ordering.FindDeptByPath({"甲"});
    ASSERT_TRUE(top);
    EXPECT_EQ(top->parentId, 0);
    EXPECT_EQ(top->name, "甲");
    EXPECT_EQ(top->sortId, 10);
    auto deep = ordering.FindDeptByPath({"甲", "B", "深层"});
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->parentId, ordering.FindDeptByPath({"甲", "B"})->deptId);
    EXPECT_FALSE(ordering.FindDeptByPath({"甲", "深层"}));
    EXPECT_FALSE(ordering.FindDeptByPath({}));
    EXPECT_FALSE(ordering.FindDeptByPath({"乙", "A"}));
    // A lookup can also start further down, under a known parent.
    EXPECT_EQ(ordering.FindDeptByPath({"x", "B"}, top->deptId, 1)->deptId,
              ordering.FindDeptByPath({"甲", "B"})->deptId);
}

TEST_F(DeptOrderingTest, NamesAreBoundNotSpliced) {
    root->GetDeptManager().AddDept("O'Brien' OR '1'='1", "");
    DeptOrdering ordering = Open();
    EXPECT_TRUE(ordering.FindDeptByPath({"O'Brien' OR '1'='1"}));
    EXPECT_FALSE(ordering.FindDeptByPath({"x' OR '1'='1"}));
}

TEST_F(DeptOrderingTest, NumbersAreReadAtFullWidth) {
    Sql("UPDATE vex_dept SET DeptID = 5000000000, SortID = 70000 WHERE DeptName = '丁'");
    DeptOrdering ordering = Open();
    auto dept = ordering.FindDeptByPath({"丁"});
    ASSERT_TRUE(dept);
    EXPECT_EQ(dept->deptId, 5000000000);
    EXPECT_EQ(dept->sortId, 70000);
}

TEST_F(DeptOrderingTest, SetDeptSortIdPlacesBeforeTheNextOrLast) {
    DeptOrdering ordering = Open();
    auto e = *ordering.FindDeptByPath({"甲", "E"});
    auto b = *ordering.FindDeptByPath({"甲", "B"});
    ASSERT_TRUE(ordering.SetDeptSortId(e.deptId, e.parentId, b.sortId, e.name, false))
        << ordering.LastError();
    EXPECT_EQ(Order("\\甲"), (Names{"A", "E", "B", "C", "D"}));

    auto a = *ordering.FindDeptByPath({"甲", "A"});
    auto d = *ordering.FindDeptByPath({"甲", "D"});
    ASSERT_TRUE(ordering.SetDeptSortId(a.deptId, a.parentId, d.sortId, a.name, true));
    EXPECT_EQ(Order("\\甲"), (Names{"E", "B", "C", "D", "A"}));

    // A top-level department, parent 0.
    auto ding = *ordering.FindDeptByPath({"丁"});
    auto jia = *ordering.FindDeptByPath({"甲"});
    ASSERT_TRUE(ordering.SetDeptSortId(ding.deptId, 0, jia.sortId, ding.name, false));
    EXPECT_EQ(Order(""), (Names{"丁", "甲", "乙", "丙"}));
}

TEST_F(DeptOrderingTest, ADepartmentChangedSinceTheLookupIsNotMisplaced) {
    DeptOrdering ordering = Open();
    auto c = *ordering.FindDeptByPath({"甲", "C"});
    root->GetDeptManager().ChangeDeptName("\\甲\\C", "C2");
    EXPECT_FALSE(ordering.SetDeptSortId(c.deptId, c.parentId, 5, c.name, false));
    EXPECT_NE(ordering.LastError().find("renamed"), std::string::npos) << ordering.LastError();
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C2", "D", "E"}));
}

TEST_F(DeptOrderingTest, AMissingOrForeignLibraryFailsTheChange) {
    DeptOrdering missing = Open(dir.Path() / "libSDKAPIC.so");
    ASSERT_TRUE(missing.Available());
    auto b = *missing.FindDeptByPath({"甲", "B"});
    EXPECT_FALSE(missing.SetDeptSortId(b.deptId, b.parentId, 5, b.name, false));
    EXPECT_FALSE(missing.LastError().empty());

    // A real shared library without the export.
    DeptOrdering foreign = Open(SQLITE3_LIBRARY_FILE);
    EXPECT_FALSE(foreign.SetDeptSortId(b.deptId, b.parentId, 5, b.name, false));
    EXPECT_NE(foreign.LastError().find("VEXGetSDKA"), std::string::npos) << foreign.LastError();
    EXPECT_EQ(Order("\\甲"), (Names{"A", "B", "C", "D", "E"}));
}

TEST_F(DeptOrderingTest, UsesTheLibraryBesideTheRunningProgram) {
    // Tests run from the output folder, where the build puts the library too.
    EXPECT_EQ(SdkApiLibraryBesideProgram(), std::filesystem::path(WARDEN_SDKAPIC_FILE));
    DeptOrdering ordering(dir.Path(), "127.0.0.1", SdkApiLibraryBesideProgram());
    auto c = *ordering.FindDeptByPath({"甲", "C"});
    EXPECT_TRUE(ordering.SetDeptSortId(c.deptId, c.parentId, 0, c.name, false))
        << ordering.LastError();
    EXPECT_EQ(Order("\\甲"), (Names{"C", "A", "B", "D", "E"}));
}

TEST(DeptOrderingAvailabilityTest, OffWithoutAnInstallFolderOrItsDatabase) {
    EXPECT_FALSE(DeptOrdering({}, "127.0.0.1", WARDEN_SDKAPIC_FILE).Available());

    test::TempDir empty;
    DeptOrdering noDatabase(empty.Path(), "127.0.0.1", WARDEN_SDKAPIC_FILE);
    EXPECT_FALSE(noDatabase.Available());
    EXPECT_FALSE(noDatabase.UnavailableReason().empty());
    EXPECT_FALSE(std::filesystem::exists(ImDatabasePath(empty.Path())));
    EXPECT_FALSE(noDatabase.FindDeptByPath({"甲"}));

    std::filesystem::create_directories(empty.Path() / "db");
    { std::ofstream(ImDatabasePath(empty.Path())) << "this is not a database"; }
    EXPECT_FALSE(DeptOrdering(empty.Path(), "127.0.0.1", WARDEN_SDKAPIC_FILE).Available());
}

}  // namespace
}  // namespace warden

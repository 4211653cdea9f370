// A directory with departments to reorder, and the means to look at the
// result: shared by the library, back-end and request tests of ordering.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "directory/ImInstallDir.h"
#include "tests/directory/XmlRead.h"
#include "tests/support/TempDir.h"
#include "vexdir/VexDirectory.h"

namespace warden::test {

class OrderingFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        root = OpenVexDirectory(dir.Path());
        auto& depts = root->GetDeptManager();
        for (const char* name : {"甲", "乙", "丙", "丁"}) depts.AddDept(name, "");
        for (const char* name : {"A", "B", "C", "D", "E"}) depts.AddDept(name, "\\甲");
        depts.AddDept("深层", "\\甲\\B");
    }

    std::vector<std::string> Order(const std::string& parentPath) {
        return DeptNames(root->GetDeptManager().GetChildDepts(parentPath));
    }

    // Runs one statement on the database file directly (arranging odd data).
    void Sql(const std::string& statement) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(ImDatabasePath(dir.Path()).c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, statement.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // SortIDs of a parent's children in list order.
    std::vector<int64_t> Sorts(int64_t parentId) {
        std::vector<int64_t> out;
        sqlite3* db = nullptr;
        sqlite3_open(ImDatabasePath(dir.Path()).c_str(), &db);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db,
                           "SELECT SortID FROM vex_dept WHERE PDeptID = ? ORDER BY SortID, "
                           "DeptID",
                           -1, &stmt, nullptr);
        sqlite3_bind_int64(stmt, 1, parentId);
        while (sqlite3_step(stmt) == SQLITE_ROW) out.push_back(sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return out;
    }

    TempDir dir;
    std::shared_ptr<ImRoot> root;
};

}  // namespace warden::test

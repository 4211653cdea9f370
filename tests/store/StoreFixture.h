// A live admin store in a temporary base directory, made from the template
// the build produced, plus a second connection to the same data file for
// looking at (and tampering with) the rows directly.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace warden::test {

class StoreFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        ASSERT_TRUE(store.EnsureDataFile(BinaryDir(), problem)) << problem;
        store.OpenDatabase(DefaultAdminStoreConnection());
        raw = std::make_unique<OdbcConnection>(FillConnectionString(
            DefaultAdminStoreConnection(), dir.Path().string(), store.DataFile().string()));
    }

    // The value of one column of `name`'s row; nullopt for NULL; "<none>"
    // when there is no row.
    std::optional<std::string> Column(const std::string& column, const std::string& name) {
        OdbcStatement query(*raw, "SELECT " + column + " FROM vex_2nd_admins WHERE admin_name=?");
        query.Execute({name});
        if (!query.Fetch()) return "<none>";
        return query.Text(1);
    }

    int64_t RowCount(const std::string& name) {
        OdbcStatement query(*raw, "SELECT COUNT(*) FROM vex_2nd_admins WHERE admin_name=?");
        query.Execute({name});
        EXPECT_TRUE(query.Fetch());
        return query.Integer(1).value_or(-1);
    }

    TempDir dir;
    AdminStore store{dir.Path()};
    std::unique_ptr<OdbcConnection> raw;
};

}  // namespace warden::test

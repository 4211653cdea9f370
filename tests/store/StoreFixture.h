// A live admin store in a temporary base directory, as a new site gets it,
// on the back-end of the test program (see StoreBackend.h), plus a second
// connection to the same database for looking at (and tampering with) the
// rows directly.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"
#include "tests/store/StoreBackend.h"
#include "tests/support/TempDir.h"

namespace warden::test {

class StoreFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        pattern = MakeFreshStore(store);
        store.OpenDatabase(pattern);
        raw = std::make_unique<OdbcConnection>(
            FillConnectionString(pattern, dir.Path().string(), store.DataFile().string()));
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
    std::string pattern;  // the connection string pattern of the store
    std::unique_ptr<OdbcConnection> raw;
};

}  // namespace warden::test

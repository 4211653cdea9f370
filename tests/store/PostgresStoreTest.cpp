// What only happens to a store on a database server.
#include <gtest/gtest.h>

#include <thread>

#include "tests/store/StoreFixture.h"

namespace warden::test {
namespace {

using PostgresStoreTest = StoreFixture;

TEST_F(PostgresStoreTest, TheStoreReconnectsWhenTheDatabaseDropsItsSession) {
    // As a restart of the database server would; waits until it is gone.
    auto dropSessions = [&] {
        raw->Execute(
            "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
            "WHERE datname=current_database() AND pid<>pg_backend_pid()");
    };
    // After a quiet second the store checks its connection before using it:
    // nothing fails.
    dropSessions();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_TRUE(store.CheckLogin("Admin", "admin"));
    EXPECT_TRUE(store.SaveAdmin("bob", "\\研发部;", "r|"));
    EXPECT_EQ(Column("admin_depts", "BOB"), "\\研发部;");

    // In busy use the request that meets the drop may fail; the next works.
    dropSessions();
    store.ListAdmins();
    EXPECT_EQ(store.ListAdmins(), "bob|");
    EXPECT_TRUE(store.DeleteAdmin("Bob"));
}

}  // namespace
}  // namespace warden::test

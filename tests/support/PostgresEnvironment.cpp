// Starts the test program's PostgreSQL server before its first test and
// stops it after the last: one cluster a program keeps the runs short.
#include <gtest/gtest.h>

#include "tests/support/PostgresCluster.h"

namespace warden::test {

namespace {

PostgresCluster* g_cluster = nullptr;

class PostgresEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        g_cluster = new PostgresCluster();
        // Said once here; every test that needs the server fails on its own.
        if (!g_cluster->Running())
            ADD_FAILURE() << "cannot start PostgreSQL: " << g_cluster->Problem();
    }
    void TearDown() override {
        delete g_cluster;
        g_cluster = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new PostgresEnvironment);

}  // namespace

PostgresCluster& SharedPostgres() {
    if (!g_cluster) throw std::logic_error("the PostgreSQL environment is not set up");
    return *g_cluster;
}

}  // namespace warden::test

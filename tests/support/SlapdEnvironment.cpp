// Starts the test program's slapd before its first test and stops it after
// the last: one server a program keeps the runs short.
#include <gtest/gtest.h>

#include "tests/support/SlapdServer.h"

namespace warden::test {

namespace {

SlapdServer* g_server = nullptr;

class SlapdEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        g_server = new SlapdServer();
        // Said once here; every test that needs the server fails on its own.
        if (!g_server->Running()) ADD_FAILURE() << "cannot start slapd: " << g_server->Problem();
    }
    void TearDown() override {
        delete g_server;
        g_server = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SlapdEnvironment);

}  // namespace

SlapdServer& SharedSlapd() {
    if (!g_server) throw std::logic_error("the slapd environment is not set up");
    return *g_server;
}

}  // namespace warden::test

#include <gtest/gtest.h>

#include <cstdlib>

#include "directory/ImInstallDir.h"

namespace warden {
namespace {

TEST(ImInstallDirTest, ConfiguredBeatsEnvironmentBeatsTheDefault) {
    setenv("VEX_INSTALLDIR", "/from/environment", 1);
    EXPECT_EQ(ResolveImInstallDir("/configured", "/base"), "/configured");
    EXPECT_EQ(ResolveImInstallDir("", "/base"), "/from/environment");
    setenv("VEX_INSTALLDIR", "", 1);
    EXPECT_EQ(ResolveImInstallDir("", "/base"), "/base/vex");
    unsetenv("VEX_INSTALLDIR");
    EXPECT_EQ(ResolveImInstallDir("", "/base"), "/base/vex");
    EXPECT_EQ(ImDatabasePath("/opt/vex"), "/opt/vex/db/vexdb.db");
}

}  // namespace
}  // namespace warden

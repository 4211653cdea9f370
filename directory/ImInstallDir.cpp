#include "directory/ImInstallDir.h"

#include <cstdlib>

namespace warden {

std::filesystem::path ResolveImInstallDir(const std::string& configured,
                                          const std::filesystem::path& baseDir) {
    if (!configured.empty()) return configured;
    // Read once at start-up, before any worker thread exists.
    if (const char* fromEnvironment = std::getenv("VEX_INSTALLDIR");
        fromEnvironment && *fromEnvironment) {
        return fromEnvironment;
    }
    return baseDir / "vex";
}

}  // namespace warden

// Where the IM directory lives: its install directory, and its database file
// below it, which department ordering reads and the embedded directory keeps.
#pragma once

#include <filesystem>
#include <string>

namespace warden {

// The directory database, relative to the install directory.
inline constexpr const char kImDatabaseFile[] = "db/vexdb.db";

inline std::filesystem::path ImDatabasePath(const std::filesystem::path& installDir) {
    return installDir / kImDatabaseFile;
}

// The install directory: `configured` (server.cfg [VEX_SERVER] INSTALLDIR)
// when not empty, else the environment variable VEX_INSTALLDIR when set and
// not empty, else `baseDir`/vex, the embedded directory's default folder.
std::filesystem::path ResolveImInstallDir(const std::string& configured,
                                          const std::filesystem::path& baseDir);

}  // namespace warden

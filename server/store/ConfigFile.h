// Reading the server's INI files (server.cfg, RolesAdmin.ini): UTF-8 when the
// file is valid UTF-8, otherwise GBK, the encoding of files brought from
// older installations. Files are always written back in UTF-8.
//
// Thread-safety: no state.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace warden {

// The file's text in UTF-8. nullopt when it is not a regular file, cannot be
// read, or is neither UTF-8 nor GBK.
std::optional<std::string> ReadConfigFile(const std::filesystem::path& file);

}  // namespace warden

// Opening the embedded VEX directory: the one entry point the server needs.
#pragma once

#include <filesystem>
#include <memory>

#include "directory/ImSdk.h"

namespace warden {

// The directory kept in `installDir`/db/vexdb.db, created with its schema,
// built-in roles and rights when missing. Several roots may be open on the
// same file at once (each Start of the server makes a new one).
// Throws ImError when the folder or file cannot be created or opened.
std::shared_ptr<ImRoot> OpenVexDirectory(const std::filesystem::path& installDir);

}  // namespace warden

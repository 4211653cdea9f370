// Start-up care of the files that hold password hashes and personal data:
// the admin store, the roles file and the embedded directory's database.
// Runs before anything opens them, each start of the server.
//
// Thread-safety: for the start-up thread, before requests are served.
#pragma once

#include <filesystem>
#include <vector>

namespace warden {

class AdminStore;

// The directory database below `imInstallDir` and its SQLite side files.
std::vector<std::filesystem::path> ImPrivateFiles(const std::filesystem::path& imInstallDir);

// Gives every existing file of `files` to its owner alone (no access for
// group and others), with one line on standard error for each file changed
// and for each that cannot be changed.
void RestrictToOwner(const std::vector<std::filesystem::path>& files);

// Removes what crashed writes left of the store's files and restricts the
// store's and the directory's files to their owner, saying what it did on
// standard error.
void PrepareDataFiles(AdminStore& store, const std::filesystem::path& imInstallDir);

}  // namespace warden

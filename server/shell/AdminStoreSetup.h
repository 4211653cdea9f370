// Start-up of the admin store for the server program, and the command that
// sets the super administrator's password.
#pragma once

#include <filesystem>
#include <istream>
#include <string>

#include "server/shell/ServerConfig.h"
#include "server/shell/StartupView.h"

namespace warden {

class AdminStore;

// The folder holding the running program (where the template DB/db.orig is
// installed); empty when it cannot be found.
std::filesystem::path ProgramDir();

// The ODBC connection pattern of the admin store: server.cfg's, else the
// built-in default.
std::string AdminStorePattern(const ServerConfig& config);

// Creates the data file from its template when needed and opens the store.
// False, after a message to `view` saying what went wrong, when the server
// cannot run.
bool OpenAdminStore(AdminStore& store, const ServerConfig& config,
                    const std::filesystem::path& programDir, StartupView& view);

// Warns while the super administrator still has the initial password.
void WarnAboutInitialPassword(AdminStore& store, StartupView& view);

// `--set-admin-password`: reads the new password from `input` (asking twice,
// without echo, when standard input is a terminal) and stores it for the
// super administrator. Returns the process exit status.
int SetAdminPassword(const std::filesystem::path& baseDir, const std::filesystem::path& programDir,
                     std::istream& input, bool interactive);

}  // namespace warden

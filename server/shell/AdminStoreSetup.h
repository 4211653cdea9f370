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

// Creates the data file from its template when needed, opens the store and
// finishes the administrator saves a crash interrupted (a warning when it
// cannot). False, after a message to `view` saying what went wrong, when
// the server cannot run.
bool OpenAdminStore(AdminStore& store, const ServerConfig& config,
                    const std::filesystem::path& programDir, StartupView& view);

inline constexpr const char kInitialPasswordWarning[] =
    "超级管理员admin仍在使用初始密码，请尽快在控制台或用 warden-server --set-admin-password "
    "修改密码";

// Warns while the super administrator still has the initial password: in
// Chinese through `view`, and in English on standard error.
void WarnAboutInitialPassword(AdminStore& store, StartupView& view);

// `--set-admin-password`: reads the new password from `input` (asking twice,
// without echo, when standard input is a terminal) and stores it for the
// super administrator. Returns the process exit status.
int SetAdminPassword(const std::filesystem::path& baseDir, const std::filesystem::path& programDir,
                     std::istream& input, bool interactive);

}  // namespace warden

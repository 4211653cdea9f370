// Start-up of the admin store for the server program, and the command that
// sets the super administrator's password.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>

#include "server/shell/ServerConfig.h"
#include "server/shell/StartupView.h"

namespace warden {

class AdminStore;

// The folder holding the running program (where the template DB/db.orig is
// installed); empty when it cannot be found.
std::filesystem::path ProgramDir();

// The connection string pattern `config` names, or the built-in default.
std::string AdminStoreConnection(const ServerConfig& config);

// Creates the data file from its template when the connection uses it,
// opens the store and finishes the administrator saves a crash interrupted
// (a warning when it cannot). False, after a message to `view` saying what
// went wrong, when the server cannot run.
bool OpenAdminStore(AdminStore& store, const ServerConfig& config,
                    const std::filesystem::path& programDir, StartupView& view);

// What is wrong when `configFile` holds a password (the database's, in its
// connection string, or the LDAP bind account's) that other users may read:
// every user, or the file's group when the server owns the file itself (a
// file of root's that only the server's group may read is how a site keeps
// the secret from everyone else and from the server's account changing it).
// nullopt when nothing is.
std::optional<std::string> ReadableSecret(const std::filesystem::path& configFile,
                                          const ServerConfig& config);

// The problem of ReadableSecret as a warning, for the commands that only
// read the store.
void WarnAboutReadableSecret(const std::filesystem::path& configFile, const ServerConfig& config,
                             StartupView& view);

// Warns when the admin store is a PostgreSQL database on another machine
// reached without checking its certificate.
void WarnAboutUnverifiedStore(const ServerConfig& config, StartupView& view);

inline constexpr const char kInitialPasswordWarning[] =
    "超级管理员admin仍在使用初始密码，请尽快在控制台或用 warden-server --set-admin-password "
    "修改密码";

// Warns while the super administrator still has the initial password: in
// Chinese through `view`, and in English on standard error.
void WarnAboutInitialPassword(AdminStore& store, StartupView& view);

// `--init-store`: creates what the configured admin store lacks (the data
// file from its template when the connection uses it, then every missing
// table or column) and says on standard error what it did. Returns the exit
// status.
int InitAdminStore(const std::filesystem::path& baseDir, const std::filesystem::path& programDir);

// `--set-admin-password`: reads the new password from `input` (asking twice,
// without echo, when standard input is a terminal) and stores it for the
// super administrator. Returns the process exit status.
int SetAdminPassword(const std::filesystem::path& baseDir, const std::filesystem::path& programDir,
                     std::istream& input, bool interactive);

}  // namespace warden

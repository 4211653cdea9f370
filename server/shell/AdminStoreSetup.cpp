#include "server/shell/AdminStoreSetup.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "protocol/SplitList.h"
#include "server/shell/StderrView.h"
#include "server/store/AdminStore.h"
#include "server/store/Odbc.h"

namespace warden {

namespace {

// Turns terminal echo off for its lifetime.
class NoEcho {
  public:
    NoEcho() : m_active(::tcgetattr(STDIN_FILENO, &m_saved) == 0) {
        if (!m_active) return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~NoEcho() {
        if (m_active) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

  private:
    termios m_saved{};
    bool m_active;
};

// One line without its line break; false at the end of the input.
bool ReadLine(std::istream& input, std::string& line) {
    if (!std::getline(input, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

bool AskPassword(std::istream& input, bool interactive, std::string& password) {
    if (!interactive) return ReadLine(input, password);
    NoEcho quiet;
    std::fputs("New password for the super administrator: ", stderr);
    bool ok = ReadLine(input, password);
    std::fputs("\nRepeat the new password: ", stderr);
    std::string again;
    ok = ok && ReadLine(input, again);
    std::fputs("\n", stderr);
    if (ok && again != password) {
        SayOnStderr("the two passwords differ; nothing was changed");
        return false;
    }
    return ok;
}

// What a database owner runs to give the server a role of its own that may
// add to and read the audit trail but never change or remove an entry.
constexpr const char kAuditOnlyGrants[] =
    "-- A role for warden-server that cannot change or remove audit entries\n"
    "-- (run as the owner of these tables; set [AUDIT] KEEP_DAYS=0 for it, and\n"
    "-- remove old entries as the owner):\n"
    "CREATE ROLE warden_server LOGIN PASSWORD 'choose-a-password';\n"
    "GRANT SELECT, INSERT, UPDATE, DELETE ON vex_2nd_admins TO warden_server;\n"
    "GRANT SELECT, INSERT ON warden_audit TO warden_server;\n"
    "REVOKE UPDATE, DELETE, TRUNCATE ON warden_audit FROM warden_server;\n";

}  // namespace

std::filesystem::path ProgramDir() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::string AdminStoreConnection(const ServerConfig& config) {
    return config.adminStoreConnection.empty() ? DefaultAdminStoreConnection()
                                               : config.adminStoreConnection;
}

bool OpenAdminStore(AdminStore& store, const ServerConfig& config,
                    const std::filesystem::path& programDir, StartupView& view) {
    const std::string pattern = AdminStoreConnection(config);
    const bool usesFile = store.UsesDataFile(pattern);
    std::string problem;
    if (usesFile && !store.EnsureDataFile(programDir, problem)) {
        view.ShowMessage(problem, kServerTitle, MessageIcon::kError);
        return false;
    }
    try {
        store.OpenDatabase(pattern);
    } catch (const std::exception& e) {
        const std::string where = usesFile ? store.DataFile().string() : HidePassword(pattern);
        view.ShowMessage("打开数据库失败\n(admin store " + where + ": " + e.what() + ")", "错误",
                         MessageIcon::kError);
        return false;
    }
    const std::string unfinished = store.FinishPendingSaves();
    if (!unfinished.empty()) {
        view.ShowMessage(std::string(store.Roles() == RolesPlace::kStore
                                         ? "部分二级管理员的角色未能转入管理库"
                                         : "部分二级管理员的角色未能写入RolesAdmin.ini") +
                             "，将在下次启动时重试\n(" + unfinished + ")",
                         kServerTitle, MessageIcon::kWarning);
    }
    return true;
}

std::optional<std::string> ReadableSecret(const std::filesystem::path& configFile,
                                          const ServerConfig& config) {
    const bool storePassword = ConnectionHoldsPassword(config.adminStoreConnection);
    const bool bindPassword =
        config.directoryBackend == DirectoryBackend::kLdap && !config.ldap.bindPassword.empty();
    if (!storePassword && !bindPassword) return std::nullopt;
    struct stat info {};
    if (::stat(configFile.c_str(), &info) != 0) return std::nullopt;
    // Others never; the group only when the server does not need it to read
    // the file (a file of root's that the server's group reads is the usual
    // way to keep the password from the server's own account changing it).
    const bool others = (info.st_mode & S_IROTH) != 0;
    const bool group = (info.st_mode & S_IRGRP) != 0 && info.st_uid == ::geteuid();
    if (!others && !group) return std::nullopt;
    return configFile.string() + " holds " +
           (storePassword ? "the admin store's database password"
                          : "the LDAP bind account's password ([DIRECTORY] BIND_PASSWORD)") +
           " and other users may read it; make it readable by the server's account only: "
           "chmod 600 " +
           configFile.string();
}

void WarnAboutReadableSecret(const std::filesystem::path& configFile, const ServerConfig& config,
                             StartupView& view) {
    if (std::optional<std::string> problem = ReadableSecret(configFile, config)) {
        view.ShowMessage(*problem, kServerTitle, MessageIcon::kWarning);
    }
}

void WarnAboutUnverifiedStore(const ServerConfig& config, StartupView& view) {
    if (std::optional<std::string> host = UnverifiedRemotePostgres(config.adminStoreConnection)) {
        view.ShowMessage("the admin store on " + *host +
                             " is reached without checking its certificate; add "
                             "SSLmode=verify-full to [ADMIN_STORE] CONNECTION",
                         kServerTitle, MessageIcon::kWarning);
    }
}

void WarnAboutInitialPassword(AdminStore& store, StartupView& view) {
    if (!store.HasInitialPassword()) return;
    view.ShowMessage(kInitialPasswordWarning, kServerTitle, MessageIcon::kWarning);
    // The same in English for logs read by people who do not read Chinese.
    SayOnStderr(std::string("warning: the super administrator \"") + kSuperAdminName +
                "\" still has the initial password; change it from the console or with "
                "`warden-server --set-admin-password`");
}

int InitAdminStore(const std::filesystem::path& baseDir, const std::filesystem::path& programDir) {
    const std::filesystem::path configFile = baseDir / "server.cfg";
    const ServerConfig config = LoadServerConfig(configFile);
    StderrView view;
    WarnAboutReadableSecret(configFile, config, view);
    const std::string pattern = AdminStoreConnection(config);
    AdminStore store(baseDir);
    std::vector<std::string> done;
    std::error_code ec;
    if (store.UsesDataFile(pattern) && !std::filesystem::exists(store.DataFile(), ec)) {
        std::string problem;
        if (!store.EnsureDataFile(programDir, problem)) {
            SayOnStderr(problem);
            return 1;
        }
        done.push_back("created " + store.DataFile().string() + " from the template");
    }
    try {
        for (std::string& step : store.InitDatabase(pattern)) done.push_back(std::move(step));
    } catch (const std::exception& e) {
        SayOnStderr("cannot create the admin store (" + HidePassword(pattern) + "): " + e.what());
        return 1;
    }
    if (LowerAscii(ConnectionAttribute(pattern, "DRIVER")).find("postgres") != std::string::npos) {
        std::fputs(kAuditOnlyGrants, stdout);
    }
    if (done.empty()) {
        SayOnStderr("the admin store is complete; nothing was created");
        return 0;
    }
    for (const std::string& line : done) SayOnStderr(line);
    try {
        store.OpenDatabase(pattern);
    } catch (const std::exception& e) {
        SayOnStderr(std::string("the admin store was created but cannot be opened: ") + e.what());
        return 1;
    }
    WarnAboutInitialPassword(store, view);
    return 0;
}

int SetAdminPassword(const std::filesystem::path& baseDir, const std::filesystem::path& programDir,
                     std::istream& input, bool interactive) {
    const std::filesystem::path configFile = baseDir / "server.cfg";
    ServerConfig config = LoadServerConfig(configFile);
    AdminStore store(baseDir);
    StderrView view;
    WarnAboutReadableSecret(configFile, config, view);
    if (!OpenAdminStore(store, config, programDir, view)) return 1;
    std::string password;
    if (!AskPassword(input, interactive, password)) {
        SayOnStderr("no new password was read; nothing was changed");
        return 1;
    }
    if (password.empty()) {
        SayOnStderr("the password must not be empty; nothing was changed");
        return 1;
    }
    if (!store.HasAccount(kSuperAdminName)) {
        SayOnStderr(std::string("the admin store has no account \"") + kSuperAdminName + "\"");
        return 1;
    }
    if (!store.SetPassword(kSuperAdminName, password)) {
        SayOnStderr("the password could not be stored");
        return 1;
    }
    SayOnStderr(std::string("the password of \"") + kSuperAdminName + "\" has been changed");
    return 0;
}

}  // namespace warden

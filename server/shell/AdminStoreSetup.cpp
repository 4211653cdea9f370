#include "server/shell/AdminStoreSetup.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

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

}  // namespace

std::filesystem::path ProgramDir() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::string AdminStorePattern(const ServerConfig& config) {
    return config.adminStoreConnection.empty() ? DefaultAdminStoreConnection()
                                               : config.adminStoreConnection;
}

bool OpenAdminStore(AdminStore& store, const ServerConfig& config,
                    const std::filesystem::path& programDir, StartupView& view) {
    std::string problem;
    if (!store.EnsureDataFile(programDir, problem)) {
        view.ShowMessage(problem, kServerTitle, MessageIcon::kError);
        return false;
    }
    try {
        store.OpenDatabase(AdminStorePattern(config));
    } catch (const std::exception& e) {
        view.ShowMessage(
            "打开数据库失败\n(admin store " + store.DataFile().string() + ": " + e.what() + ")",
            "错误", MessageIcon::kError);
        return false;
    }
    const std::string unfinished = store.FinishPendingSaves();
    if (!unfinished.empty()) {
        view.ShowMessage(
            "部分二级管理员的角色未能写入RolesAdmin.ini，将在下次启动时重试\n(" + unfinished + ")",
            kServerTitle, MessageIcon::kWarning);
    }
    return true;
}

void WarnAboutInitialPassword(AdminStore& store, StartupView& view) {
    if (!store.HasInitialPassword()) return;
    view.ShowMessage(kInitialPasswordWarning, kServerTitle, MessageIcon::kWarning);
    // The same in English for logs read by people who do not read Chinese.
    SayOnStderr(std::string("warning: the super administrator \"") + kSuperAdminName +
                "\" still has the initial password; change it from the console or with "
                "`warden-server --set-admin-password`");
}

int SetAdminPassword(const std::filesystem::path& baseDir, const std::filesystem::path& programDir,
                     std::istream& input, bool interactive) {
    ServerConfig config = LoadServerConfig(baseDir / "server.cfg");
    AdminStore store(baseDir);
    StderrView view;
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

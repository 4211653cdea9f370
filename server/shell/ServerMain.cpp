#include "server/shell/ServerMain.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include <QApplication>

#include "server/shell/AdminStoreSetup.h"
#include "server/shell/AuditSetup.h"
#include "server/shell/ServerCertificate.h"
#include "server/shell/ServerStartup.h"
#include "server/shell/ServerWindow.h"
#include "server/shell/StderrView.h"
#include "server/shell/UnlockCommand.h"

namespace warden {

namespace {

struct CommandLine {
    bool headless = false;
    bool setAdminPassword = false;
    bool auditLog = false;
    std::string since;  // --since, for --audit-log
    bool initStore = false;
    bool fingerprint = false;
    std::string unlock;  // --unlock ACCOUNT
    std::filesystem::path baseDir = ".";
};

constexpr const char kUsage[] =
    "usage: warden-server [--headless] [--base-dir DIR]\n"
    "       warden-server --set-admin-password [--base-dir DIR]\n"
    "       warden-server --init-store [--base-dir DIR]\n"
    "       warden-server --audit-log [--since TIME] [--base-dir DIR]\n"
    "       warden-server --fingerprint [--base-dir DIR]\n"
    "       warden-server --unlock ACCOUNT [--base-dir DIR]\n"
    "  (no option)           open the server window and its tray icon\n"
    "  --headless            run without a window, as a daemon (messages go to stderr)\n"
    "  --set-admin-password  read a new password for \"admin\" from standard input\n"
    "  --init-store          create what the configured admin store lacks ([ADMIN_STORE])\n"
    "  --audit-log           print the audit trail, oldest first, one tab-separated line\n"
    "                        per entry: time, account, level, address:port, request,\n"
    "                        target, outcome, detail\n"
    "  --since TIME          with --audit-log: from this UTC time on (2024-05-01,\n"
    "                        2024-05-01T08:30, ...)\n"
    "  --fingerprint         print the SHA-256 fingerprint of the TLS certificate, which\n"
    "                        consoles show when they first connect\n"
    "  --unlock ACCOUNT      clear the failed logins and login locks of ACCOUNT in the\n"
    "                        server running in DIR (as its account or root)\n"
    "  --base-dir DIR        folder holding server.cfg and the data files (default: .)\n";

bool ParseCommandLine(int argc, char** argv, CommandLine& out) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--headless") {
            out.headless = true;
        } else if (arg == "--set-admin-password") {
            out.setAdminPassword = true;
        } else if (arg == "--audit-log") {
            out.auditLog = true;
        } else if (arg == "--since" && i + 1 < argc) {
            out.since = argv[++i];
        } else if (arg == "--fingerprint") {
            out.fingerprint = true;
        } else if (arg == "--unlock" && i + 1 < argc) {
            out.unlock = argv[++i];
            if (out.unlock.empty()) return false;
        } else if (arg == "--init-store") {
            out.initStore = true;
        } else if (arg == "--base-dir" && i + 1 < argc) {
            out.baseDir = argv[++i];
        } else {
            return false;
        }
    }
    const int modes = int(out.headless) + int(out.setAdminPassword) + int(out.initStore) +
                      int(out.auditLog) + int(out.fingerprint) + int(!out.unlock.empty());
    return modes <= 1 && (out.since.empty() || out.auditLog);
}

// Blocks SIGINT and SIGTERM in every thread started from now on, so that
// only the thread that waits for them receives them.
sigset_t BlockStopSignals() {
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    return stop;
}

std::filesystem::path PrepareBaseDir(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::absolute(dir);
}

int RunHeadless(const CommandLine& cmd) {
    sigset_t stopSignals = BlockStopSignals();
    const std::filesystem::path base = PrepareBaseDir(cmd.baseDir);
    StderrView view;
    ServerStartup server(base, view);
    if (!server.Initialise()) return 1;
    switch (server.Start(server.Settings())) {
        case StartResult::kRefused:
            return 1;  // the view has said which setting is missing
        case StartResult::kNotListening:
            SayOnStderr("cannot listen on port " + server.Config().listenPort);
            return 1;
        case StartResult::kFailed:
        case StartResult::kNoTls:
            return 1;
        case StartResult::kNoDirectory:
            SayOnStderr(
                "warning: the IM directory could not be opened; requests that need it "
                "will fail");
            break;
        case StartResult::kRunning:
            break;
    }
    if (auto plain = server.ListeningEndpoint(Transport::kPlain)) {
        SayOnStderr("listening on " + *plain + " (base directory " + base.string() + ")");
    } else {
        SayOnStderr("the plain-text port is off ([LISTEN_PORT] PLAINTEXT=0)");
    }
    SayOnStderr("listening for TLS on " + *server.ListeningEndpoint(Transport::kTls));

    int signal = 0;
    sigwait(&stopSignals, &signal);
    SayOnStderr("stopping");
    server.Stop();
    return 0;
}

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

int RunWindow(int argc, char** argv, const CommandLine& cmd) {
    if (!HasDisplay()) {
        SayOnStderr("no display to show the window on; run `warden-server --headless` instead");
        return 2;
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);  // closing only hides the window
    const std::filesystem::path base = PrepareBaseDir(cmd.baseDir);
    ServerWindow window;
    ServerStartup server(base, window);
    if (!server.Initialise()) return 1;
    window.SetSettings(server.Settings());
    QObject::connect(&window, &ServerWindow::startRequested,
                     [&] { server.Start(window.Settings()); });
    QObject::connect(&window, &ServerWindow::exitConfirmed, [&] {
        server.Stop();
        app.quit();
    });
    window.show();
    return app.exec();
}

// The fingerprint an administrator compares with what a console shows, on a
// line of its own.
int PrintFingerprint(const std::filesystem::path& baseDir) {
    const ServerConfig config = LoadServerConfig(baseDir / "server.cfg");
    const std::filesystem::path certificate = baseDir / config.tlsCertificate;
    std::string problem;
    const std::optional<std::string> fingerprint = CertificateFingerprint(certificate, problem);
    if (!fingerprint) {
        SayOnStderr(problem + " (the server makes a certificate at its first start)");
        return 1;
    }
    std::cout << *fingerprint << std::endl;
    return 0;
}

}  // namespace

int ServerMain(int argc, char** argv) {
    CommandLine cmd;
    if (!ParseCommandLine(argc, argv, cmd)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (cmd.auditLog)
        return PrintAuditLog(std::filesystem::absolute(cmd.baseDir), cmd.since, std::cout);
    if (cmd.fingerprint) return PrintFingerprint(std::filesystem::absolute(cmd.baseDir));
    if (!cmd.unlock.empty()) return UnlockAccount(std::filesystem::absolute(cmd.baseDir), cmd.unlock);
    if (cmd.initStore) {
        return InitAdminStore(std::filesystem::absolute(cmd.baseDir), ProgramDir());
    }
    if (cmd.setAdminPassword) {
        const std::filesystem::path base = std::filesystem::absolute(cmd.baseDir);
        return SetAdminPassword(base, ProgramDir(), std::cin, ::isatty(STDIN_FILENO) == 1);
    }
    return cmd.headless ? RunHeadless(cmd) : RunWindow(argc, argv, cmd);
}

}  // namespace warden

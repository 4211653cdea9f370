#include "server/shell/ServerMain.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

#include "server/dispatch/Dispatcher.h"
#include "server/dispatch/HandlerRegistry.h"
#include "server/net/ServerEngine.h"
#include "server/shell/AdminStoreSetup.h"
#include "server/shell/ServerConfig.h"
#include "server/store/AdminStore.h"

namespace warden {

namespace {

struct CommandLine {
    bool headless = false;
    bool setAdminPassword = false;
    std::filesystem::path baseDir = ".";
};

constexpr const char kUsage[] =
    "usage: warden-server --headless [--base-dir DIR]\n"
    "       warden-server --set-admin-password [--base-dir DIR]\n"
    "  --headless            run without a window, as a daemon (messages go to stderr)\n"
    "  --set-admin-password  read a new password for \"admin\" from standard input\n"
    "  --base-dir DIR        folder holding server.cfg and the data files (default: .)\n";

bool ParseCommandLine(int argc, char** argv, CommandLine& out) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--headless") {
            out.headless = true;
        } else if (arg == "--set-admin-password") {
            out.setAdminPassword = true;
        } else if (arg == "--base-dir" && i + 1 < argc) {
            out.baseDir = argv[++i];
        } else {
            return false;
        }
    }
    return !(out.headless && out.setAdminPassword);
}

void Say(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

int RunHeadless(const CommandLine& cmd) {
    std::error_code ec;
    std::filesystem::create_directories(cmd.baseDir, ec);
    const std::filesystem::path base = std::filesystem::absolute(cmd.baseDir);
    ServerConfig config = LoadServerConfig(base / "server.cfg");

    // Signals are taken by sigwait below, so every thread must block them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    AdminStore adminStore(base);
    if (!OpenAdminStore(adminStore, config, ProgramDir())) return 1;
    WarnAboutInitialPassword(adminStore);

    Services services;
    services.adminStore = &adminStore;
    Dispatcher dispatcher(services, config.requireLogin);
    RegisterAllHandlers(dispatcher);

    EngineOptions options;
    options.workers = config.workers;
    options.maxRequest = config.maxRequest;
    ServerEngine engine(options, [&dispatcher](std::string_view request, Session& session,
                                               const ReplySink& reply) {
        dispatcher.ProcessRequest(request, session, reply);
    });
    if (!engine.CreateListener(config.listenPort)) {
        Say("warden-server: cannot listen on port " + config.listenPort);
        return 1;
    }
    engine.Start();
    Say("warden-server: listening on 0.0.0.0:" + std::to_string(*engine.ListeningPort()) +
        " (base directory " + base.string() + ")");

    int signal = 0;
    sigwait(&stopSignals, &signal);
    Say("warden-server: stopping");
    engine.Stop();
    return 0;
}

}  // namespace

int ServerMain(int argc, char** argv) {
    CommandLine cmd;
    if (!ParseCommandLine(argc, argv, cmd)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (cmd.setAdminPassword) {
        const std::filesystem::path base = std::filesystem::absolute(cmd.baseDir);
        return SetAdminPassword(base, ProgramDir(), std::cin, ::isatty(STDIN_FILENO) == 1);
    }
    if (!cmd.headless) {
        std::fputs("warden-server: this build runs headless only; start it with --headless\n",
                   stderr);
        std::fputs(kUsage, stderr);
        return 2;
    }
    return RunHeadless(cmd);
}

}  // namespace warden

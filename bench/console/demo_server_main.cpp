// warden-console-demo-server: answers a console from the demo organisation,
// for trying the console where no warden-server with a directory runs.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "bench/console/FakeDirectoryServer.h"

int main(int argc, char** argv) {
    int port = 8800;
    int users = 5000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--users") == 0 && i + 1 < argc) {
            users = std::atoi(argv[++i]);
        } else {
            std::fputs("usage: warden-console-demo-server [--port N] [--users N]\n", stderr);
            return 2;
        }
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    warden::bench::FakeDirectoryServer server(warden::bench::MakeDemoDirectory(users), port);
    std::fprintf(stderr, "listening on 127.0.0.1:%d\n", server.Port());
    int signal = 0;
    sigwait(&stop, &signal);
    return 0;
}

#include "tests/support/ChildProcess.h"

#include <arpa/inet.h>
#include <stdlib.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

namespace warden::test {

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
}

std::string RandomPassword() {
    std::random_device random;
    std::string out;
    for (int i = 0; i < 24; ++i) out += "0123456789abcdef"[random() % 16];
    return out;
}

std::filesystem::path MakeServerFolder(const char* prefix, std::string& problem) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (!::mkdtemp(pattern.data())) {
        problem = "cannot create a temporary folder";
        return {};
    }
    return pattern;
}

std::string ReadTail(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    std::string all = text.str();
    return all.size() > 2000 ? "..." + all.substr(all.size() - 2000) : all;
}

Account UnprivilegedAccount(const char* name, std::string& problem) {
    if (::geteuid() != 0) return {};
    const passwd* user = ::getpwnam(name);
    if (!user) {
        problem = std::string("running as root, and there is no account \"") + name +
                  "\" to run the server as";
        return {};
    }
    return {true, user->pw_uid, user->pw_gid};
}

bool HandTo(const std::filesystem::path& path, const Account& account) {
    return !account.switchTo || ::chown(path.c_str(), account.uid, account.gid) == 0;
}

int Spawn(const std::vector<std::string>& argv, const Account& account, int logFd,
          int deathSignal) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();
    const int pid = ::fork();
    if (pid != 0) return pid;
    ::dup2(logFd, STDOUT_FILENO);
    ::dup2(logFd, STDERR_FILENO);
    int devNull = ::open("/dev/null", O_RDONLY);
    ::dup2(devNull, STDIN_FILENO);
    if (account.switchTo && (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 ||
                             ::setuid(account.uid) != 0)) {
        ::_exit(126);
    }
    // Set after the change of account, which clears it.
    ::prctl(PR_SET_PDEATHSIG, deathSignal);
    if (::getppid() != parent) ::_exit(125);
    ::execv(args[0], args.data());
    ::_exit(127);
}

int WaitExit(int pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void StopChild(int pid, int signal) {
    using namespace std::chrono_literals;
    ::kill(pid, signal);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace warden::test

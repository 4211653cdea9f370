#include "bench/CrashServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace warden::bench {

ServerRun::ServerRun(const std::filesystem::path& program, const std::filesystem::path& baseDir,
                     const std::filesystem::path& log, std::chrono::seconds wait) {
    std::error_code ec;
    const auto logStart =
        std::filesystem::exists(log, ec) ? std::filesystem::file_size(log, ec) : 0;
    m_pid = ::fork();
    if (m_pid == 0) {
        int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (fd < 0 || null < 0) ::_exit(126);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execl(program.c_str(), program.c_str(), "--headless", "--base-dir", baseDir.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (m_pid < 0) {
        m_problem = "cannot fork";
        return;
    }
    const std::regex listening("listening on \\S+:([0-9]+) ");
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(log, std::ios::binary);
        in.seekg(static_cast<std::streamoff>(logStart));
        std::stringstream text;
        text << in.rdbuf();
        const std::string said = text.str();
        std::smatch m;
        if (std::regex_search(said, m, listening)) {
            m_port = std::stoi(m[1]);
            return;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_problem = "the server exited during start-up: " + said;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_problem = "the server did not listen within " + std::to_string(wait.count()) + " s";
    Kill();
}

ServerRun::~ServerRun() {
    Kill();
}

int ServerRun::Reap(int signal) {
    if (m_pid <= 0) return 0;
    ::kill(m_pid, signal);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

void ServerRun::Kill() {
    Reap(SIGKILL);
}

int ServerRun::Stop() {
    return Reap(SIGTERM);
}

}  // namespace warden::bench

#include "bench/CrashServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"

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
    const std::regex listening("listening on [0-9.]+:([0-9]+)");
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

ConsoleConnection::ConsoleConnection(int port) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

ConsoleConnection::~ConsoleConnection() {
    if (m_fd >= 0) ::close(m_fd);
}

std::optional<std::string> ConsoleConnection::Ask(const std::string& request,
                                                  std::chrono::milliseconds wait) {
    auto gbk = Utf8ToGbk(request);
    if (m_fd < 0 || !gbk || !WriteMessage(m_fd, *gbk)) return std::nullopt;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
    std::string reply;
    FrameOptions options;
    options.maxBytes = 64 << 20;
    options.graceMs = 200;
    if (ReadMessage(m_fd, reply, options) != FrameStatus::kComplete) return std::nullopt;
    return GbkToUtf8(reply);
}

bool ConsoleConnection::LoginAsAdmin(const std::string& password) {
    auto reply = Ask("LoginCheck.asp?username=admin`password=" + password + "`ver=1.5");
    return reply && *reply == "success|1";
}

}  // namespace warden::bench

#include "tests/support/ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
#include <stdexcept>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"

namespace warden::test {

std::filesystem::path BinaryDir() {
    return WARDEN_BINARY_DIR;
}

void WriteServerConfig(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file) << text;
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
}

std::string Gbk(const std::string& utf8) {
    auto gbk = Utf8ToGbk(utf8);
    if (!gbk) throw std::invalid_argument("not encodable in GBK");
    return *gbk;
}

ServerProcess::ServerProcess(const std::string& serverCfgExtra,
                             const std::filesystem::path& baseDir, int maxDescriptors,
                             const std::filesystem::path& program) {
    if (baseDir.empty()) {
        std::random_device rd;
        m_baseDir = std::filesystem::temp_directory_path() /
                    ("warden-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
        m_ownsBaseDir = true;
    } else {
        m_baseDir = baseDir;
    }
    std::filesystem::create_directories(m_baseDir);
    if (!std::filesystem::exists(m_baseDir / "server.cfg") || !serverCfgExtra.empty()) {
        WriteServerConfig(m_baseDir / "server.cfg",
                          "[LISTEN_PORT]\nPORT=0\n[TLS]\nPORT=0\n" + serverCfgExtra + "\n");
    }

    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    const std::string binary = (program.empty() ? BinaryDir() / "warden-server" : program).string();
    const std::string base = m_baseDir.string();
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(errPipe[1], STDERR_FILENO);
        if (maxDescriptors > 0) {
            const rlimit limit{static_cast<rlim_t>(maxDescriptors),
                               static_cast<rlim_t>(maxDescriptors)};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        ::execl(binary.c_str(), binary.c_str(), "--headless", "--base-dir", base.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(errPipe[1]);
    m_errFd = errPipe[0];

    // The plain port's line (when it listens) comes before the TLS port's.
    const std::regex plain("listening on \\S+:([0-9]+) ");
    const std::regex tls("listening for TLS on \\S+:([0-9]+)");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        ReadErrorsFor(std::chrono::milliseconds(50));
        std::smatch m;
        if (std::regex_search(m_errors, m, tls)) {
            m_tlsPort = std::stoi(m[1]);
            if (std::regex_search(m_errors, m, plain)) m_port = std::stoi(m[1]);
            return;
        }
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            m_pid = -1;
            ReadErrorsFor(std::chrono::milliseconds(0));
            return;
        }
    }
}

ServerProcess::~ServerProcess() {
    Stop();
    if (m_errFd >= 0) ::close(m_errFd);
    if (m_ownsBaseDir) {
        std::error_code ec;
        std::filesystem::remove_all(m_baseDir, ec);
    }
}

void ServerProcess::ReadErrorsFor(std::chrono::milliseconds timeout) {
    pollfd p{m_errFd, POLLIN, 0};
    while (::poll(&p, 1, static_cast<int>(timeout.count())) > 0) {
        char buffer[4096];
        ssize_t n = ::read(m_errFd, buffer, sizeof buffer);
        if (n <= 0) break;
        m_errors.append(buffer, static_cast<size_t>(n));
        timeout = std::chrono::milliseconds(0);
    }
}

bool ServerProcess::Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) != m_pid) return true;
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    m_pid = -1;
    return false;
}

std::chrono::milliseconds ServerProcess::CpuTime() const {
    // Fields 14 and 15 of /proc/PID/stat, in clock ticks; the command name
    // before them is in parentheses and may hold spaces.
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stol(field);
    }
    return std::chrono::milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

std::string ServerProcess::ErrorOutput() {
    ReadErrorsFor(std::chrono::milliseconds(0));
    return m_errors;
}

int ServerProcess::Stop() {
    if (m_pid <= 0) return m_exitCode;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    m_exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    ReadErrorsFor(std::chrono::milliseconds(0));
    return m_exitCode;
}

Client::Client(int port, const std::string& from) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!from.empty()) {
        sockaddr_in source{};
        source.sin_family = AF_INET;
        if (::inet_pton(AF_INET, from.c_str(), &source.sin_addr) != 1 ||
            ::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

Client::~Client() {
    if (m_fd >= 0) ::close(m_fd);
}

std::optional<std::string> Client::AskRaw(const std::string& bytes,
                                          std::chrono::milliseconds wait) {
    if (m_fd < 0 || !WriteMessage(m_fd, bytes)) return std::nullopt;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
    std::string reply;
    FrameOptions options;
    options.maxBytes = 64 << 20;
    options.graceMs = 200;
    if (ReadMessage(m_fd, reply, options) != FrameStatus::kComplete) return std::nullopt;
    return reply;
}

std::optional<std::string> Client::Ask(const std::string& request, std::chrono::milliseconds wait) {
    auto gbk = Utf8ToGbk(request);
    if (!gbk) throw std::invalid_argument("request not encodable in GBK");
    auto reply = AskRaw(*gbk, wait);
    if (!reply) return std::nullopt;
    auto utf8 = GbkToUtf8(*reply);
    if (!utf8) throw std::runtime_error("reply is not valid GBK");
    return utf8;
}

RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::string& input) {
    int in[2], err[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
        ::pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(err[1]);
    ::close(out[1]);
    (void)!::write(in[1], input.data(), input.size());
    ::close(in[1]);
    RunResult result;
    // Both at once: a program that fills one pipe must not wait for the other.
    pollfd pipes[2] = {{err[0], POLLIN, 0}, {out[0], POLLIN, 0}};
    std::string* texts[2] = {&result.errors, &result.output};
    while (pipes[0].fd >= 0 || pipes[1].fd >= 0) {
        if (::poll(pipes, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (pipes[i].fd < 0 || !pipes[i].revents) continue;
            char buffer[4096];
            const ssize_t n = ::read(pipes[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<size_t>(n));
            } else {
                ::close(pipes[i].fd);
                pipes[i].fd = -1;
            }
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool Client::LoginAsAdmin(const std::string& password) {
    auto reply = Ask("LoginCheck.asp?username=admin`password=" + password + "`ver=1.5");
    return reply && *reply == "success|1";
}

}  // namespace warden::test

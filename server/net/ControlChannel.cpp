#include "server/net/ControlChannel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace warden {

namespace {

// A command is a few short lines; anything longer is no command.
constexpr size_t kMaxCommand = 64 * 1024;
// How long one side may take to send its part; the other waits no longer.
constexpr int kExchangeMs = 10'000;

bool MakeAddress(const std::filesystem::path& path, sockaddr_un& address, std::string& problem) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    if (text.size() >= sizeof address.sun_path) {
        problem = "the path " + text + " is too long for a local socket";
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Reads until the peer's end, `kMaxCommand` bytes or the time is up; false
// on an error, an overlong input or the time running out.
bool ReadAll(int fd, std::string& out) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kExchangeMs);
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > kMaxCommand) return false;
    }
}

void WriteAll(int fd, const std::string& text) {
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the peer left: nobody to tell
        sent += static_cast<size_t>(n);
    }
}

// A connected socket to `path`, or -1 with `problem` set.
int Connect(const std::filesystem::path& path, std::string& problem) {
    sockaddr_un address{};
    if (!MakeAddress(path, address, problem)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        problem = SystemError("socket");
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        problem = SystemError("cannot connect to " + path.string());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::filesystem::path ControlSocketPath(const std::filesystem::path& baseDir) {
    return baseDir / "warden-control.sock";
}

ControlChannel::~ControlChannel() {
    Close();
}

bool ControlChannel::Open(const std::filesystem::path& path, Handler handler,
                          std::string& problem) {
    sockaddr_un address{};
    if (!MakeAddress(path, address, problem)) return false;
    std::error_code ec;
    if (std::filesystem::is_socket(path, ec)) {
        std::string ignored;
        const int other = Connect(path, ignored);
        if (other >= 0) {
            ::close(other);
            problem = "another server answers on " + path.string();
            return false;
        }
        std::filesystem::remove(path, ec);  // left by a server that is gone
    }
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0) {
        problem = SystemError("socket");
        return false;
    }
    if (::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(m_listener, 8) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0) {
        problem = SystemError("cannot listen on " + path.string());
        Close();
        return false;
    }
    m_path = path;
    m_handler = std::move(handler);
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void ControlChannel::Close() {
    if (m_thread.joinable()) {
        const char byte = 0;
        while (::write(m_wake[1], &byte, 1) < 0 && errno == EINTR) {
        }
        m_thread.join();
    }
    for (int* fd : {&m_listener, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
        m_path.clear();
    }
}

void ControlChannel::Serve() {
    for (;;) {
        pollfd waits[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (waits[1].revents != 0) return;
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ServeOne(fd);
        ::close(fd);
    }
}

void ControlChannel::ServeOne(int fd) {
    // Read whole before any answer: closing on unread input would reset the
    // connection and lose the answer.
    std::string command;
    if (!ReadAll(fd, command)) {
        WriteAll(fd, "error\nthe command did not arrive whole\n");
        return;
    }
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return;
    if (credentials.uid != 0 && credentials.uid != ::geteuid()) {
        WriteAll(fd, "error\nonly the server's account or root may use this channel\n");
        return;
    }
    if (!command.empty() && command.back() == '\n') command.pop_back();
    std::string answer;
    try {
        answer = m_handler(command, ControlPeer{credentials.uid, credentials.pid});
    } catch (const std::exception& e) {
        answer = std::string("error\n") + e.what() + "\n";
    }
    WriteAll(fd, answer);
}

std::optional<std::string> SendControlCommand(const std::filesystem::path& path,
                                              const std::string& command, std::string& problem) {
    const int fd = Connect(path, problem);
    if (fd < 0) return std::nullopt;
    WriteAll(fd, command + "\n");
    ::shutdown(fd, SHUT_WR);
    std::string answer;
    const bool whole = ReadAll(fd, answer);
    ::close(fd);
    if (!whole) {
        problem = "the server did not answer in time";
        return std::nullopt;
    }
    return answer;
}

}  // namespace warden

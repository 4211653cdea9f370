#include "bench/WireClient.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"

namespace warden::bench {

WireClient::WireClient(int port, bool tls) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close();
    }
    if (m_fd >= 0 && tls) {
        m_tls = TlsLink::Open(m_fd);
        if (!m_tls) Close();
    }
}

WireClient::~WireClient() {
    Close();
}

WireClient::WireClient(WireClient&& other) noexcept
    : m_fd(other.m_fd), m_tls(std::move(other.m_tls)), m_closed(other.m_closed) {
    other.m_fd = -1;
}

WireClient& WireClient::operator=(WireClient&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_tls = std::move(other.m_tls);
        m_closed = other.m_closed;
        other.m_fd = -1;
    }
    return *this;
}

void WireClient::Close() {
    m_tls.reset();
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool WireClient::Failed() {
    m_closed = true;
    return false;
}

bool WireClient::Send(const std::string& bytes) {
    if (m_fd < 0) return false;
    if (m_tls ? m_tls->WriteFrame(bytes) : WriteMessage(m_fd, bytes)) return true;
    return Failed();
}

bool WireClient::SendRaw(const std::string& bytes) {
    if (m_fd < 0) return false;
    if (m_tls ? m_tls->Write(bytes) : WriteMessage(m_fd, bytes)) return true;
    return Failed();
}

std::optional<std::string> WireClient::Read(std::chrono::milliseconds wait) {
    if (m_fd < 0) return std::nullopt;
    std::string reply;
    if (m_tls) {
        if (m_tls->ReadFrame(reply, wait)) return reply;
        // Closed, or no frame within the wait: a look without waiting tells.
        char byte;
        m_closed = ::recv(m_fd, &byte, 1, MSG_DONTWAIT | MSG_PEEK) <= 0 && errno != EAGAIN;
        return std::nullopt;
    }
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
    FrameOptions options;
    options.maxBytes = 64 << 20;
    switch (ReadMessage(m_fd, reply, options)) {
        case FrameStatus::kComplete:
            return reply;
        default:
            m_closed = true;
            return std::nullopt;
    }
}

std::optional<std::string> WireClient::Ask(const std::string& bytes,
                                           std::chrono::milliseconds wait) {
    if (!Send(bytes)) return std::nullopt;
    return Read(wait);
}

std::optional<std::string> WireClient::AskText(const std::string& utf8,
                                               std::chrono::milliseconds wait) {
    auto reply = Ask(ToGbk(utf8), wait);
    if (!reply) return std::nullopt;
    return GbkToUtf8(*reply);
}

bool WireClient::Login(const std::string& password) {
    auto reply = AskText("LoginCheck.asp?username=admin`password=" + password + "`ver=1.5",
                         std::chrono::seconds(30));
    return reply && reply->rfind("success", 0) == 0;
}

size_t ServerProbe::Descriptors() const {
    size_t n = 0;
    const std::string path = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* dir = ::opendir(path.c_str())) {
        while (dirent* entry = ::readdir(dir)) n += entry->d_name[0] != '.';
        ::closedir(dir);
    }
    return n;
}

size_t ServerProbe::RssKiB() const {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6));
    }
    return 0;
}

std::chrono::milliseconds ServerProbe::CpuTime() const {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (stat.empty()) return {};
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i >= 14) ticks += std::stol(field);
    }
    return std::chrono::milliseconds(ticks * 1000 / ::sysconf(_SC_CLK_TCK));
}

bool ServerProbe::Alive() const {
    return pid > 0 && ::kill(pid, 0) == 0;
}

std::string ToGbk(const std::string& utf8) {
    auto gbk = Utf8ToGbk(utf8);
    return gbk ? *gbk : std::string();
}

double Percentile(std::vector<double>& values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

}  // namespace warden::bench

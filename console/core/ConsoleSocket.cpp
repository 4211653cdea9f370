#include "console/core/ConsoleSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace warden::console {

long ParsePortText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1'000'000) break;  // far beyond any port; stop before overflow
    }
    return negative ? -value : value;
}

namespace {

constexpr size_t kMaxHostName = 253;
constexpr size_t kMaxLabel = 63;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Parses "a.b.c.d" with four decimal parts of 1 to 3 digits, each <= 255.
bool ParseDottedQuad(std::string_view text, in_addr& out) {
    uint32_t value = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        size_t start = i;
        unsigned part = 0;
        while (i < text.size() && IsDigit(text[i]) && i - start < 3) {
            part = part * 10 + static_cast<unsigned>(text[i++] - '0');
        }
        if (i == start || part > 255) return false;
        value = (value << 8) | part;
        if (++parts < 4) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
    }
    if (i != text.size()) return false;
    out.s_addr = htonl(value);
    return true;
}

bool IsHostName(std::string_view text) {
    if (text.empty() || text.size() > kMaxHostName) return false;
    size_t start = 0;
    bool lastHasLetter = false;
    for (;;) {
        size_t dot = text.find('.', start);
        std::string_view label = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > kMaxLabel) return false;
        if (label.front() == '-' || label.back() == '-') return false;
        lastHasLetter = false;
        for (char c : label) {
            bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (!letter && !IsDigit(c) && c != '-') return false;
            lastHasLetter = lastHasLetter || letter;
        }
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    // A top-level name is never all digits; and the resolver reads numbers
    // in several bases and with fewer than four parts ("10.1", "0x7f"): none
    // of those may pass for a host name.
    in_addr ignored{};
    return lastHasLetter && ::inet_aton(std::string(text).c_str(), &ignored) == 0;
}

bool ResolveIpv4(const std::string& address, in_addr& out) {
    if (ParseDottedQuad(address, out)) return true;
    if (!IsHostName(address)) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    out = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

// Waits for a non-blocking connect to finish; true when it succeeded.
bool FinishConnect(int fd, int timeoutMs, WaitObserver* waits) {
    constexpr int kSliceMs = 10;
    for (int waited = 0; waited < timeoutMs; waited += kSliceMs) {
        pollfd p{fd, POLLOUT, 0};
        int r = ::poll(&p, 1, kSliceMs);
        if (r < 0 && errno != EINTR) return false;
        if (r > 0) {
            int error = 0;
            socklen_t len = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0) return false;
            return error == 0;
        }
        if (waits != nullptr) waits->StillWaiting();
    }
    return false;
}

}  // namespace

bool IsServerAddress(std::string_view address) {
    in_addr ignored{};
    return ParseDottedQuad(address, ignored) || IsHostName(address);
}

ConsoleSocket::ConnectResult ConsoleSocket::Connect(std::string_view address, std::string_view port,
                                                    int timeoutMs, WaitObserver* waits) {
    Close();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return ConnectResult::kNoSocket;

    long number = ParsePortText(port);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(number));
    if (number <= 0 || number > 65535 || !ResolveIpv4(std::string(address), addr.sin_addr)) {
        ::close(fd);
        return ConnectResult::kFailed;
    }

    int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (!connected && errno == EINPROGRESS) connected = FinishConnect(fd, timeoutMs, waits);
    if (!connected) {
        ::close(fd);
        return ConnectResult::kFailed;
    }
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    // Each message goes out in one write and is answered before the next:
    // there is nothing for Nagle's algorithm to gather, only latency to add.
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_fd = fd;
    return ConnectResult::kConnected;
}

void ConsoleSocket::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace warden::console

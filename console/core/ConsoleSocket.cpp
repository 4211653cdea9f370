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

bool ResolveIpv4(const std::string& address, in_addr& out) {
    if (::inet_pton(AF_INET, address.c_str(), &out) == 1) return true;
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

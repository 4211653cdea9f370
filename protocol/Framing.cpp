#include "protocol/Framing.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace warden {

namespace {

// Waits until `fd` has `events`; false on timeout or failure.
bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    for (;;) {
        int r = ::poll(&p, 1, timeoutMs);
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

// One read of at most one piece. Returns bytes read, 0 on orderly close,
// -1 on failure; EAGAIN on a non-blocking socket waits for readability.
ssize_t ReadPiece(int fd, char* buffer) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, kFramePiece, 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (WaitFor(fd, POLLIN, -1)) continue;
        }
        return -1;
    }
}

// Applies the zero-byte rule once the whole message has been read.
void CutAtZero(std::string& message) {
    size_t zero = message.find('\0');
    if (zero != std::string::npos) message.resize(zero);
}

}  // namespace

FrameStatus ReadRemainder(int fd, std::string& message, const FrameOptions& options) {
    char buffer[kFramePiece];
    for (;;) {
        if (!WaitFor(fd, POLLIN, options.graceMs)) break;  // nothing waiting: the end
        ssize_t n = ReadPiece(fd, buffer);
        if (n <= 0) break;  // close or failure after a full piece ends the message
        if (message.size() + static_cast<size_t>(n) > options.maxBytes) {
            return FrameStatus::kTooLarge;
        }
        message.append(buffer, static_cast<size_t>(n));
        if (static_cast<size_t>(n) < kFramePiece) break;
    }
    CutAtZero(message);
    return FrameStatus::kComplete;
}

FrameStatus ReadMessage(int fd, std::string& message, const FrameOptions& options) {
    message.clear();
    char buffer[kFramePiece];
    ssize_t n = ReadPiece(fd, buffer);
    if (n == 0) return FrameStatus::kClosed;
    if (n < 0) return FrameStatus::kError;
    if (static_cast<size_t>(n) > options.maxBytes) return FrameStatus::kTooLarge;
    message.assign(buffer, static_cast<size_t>(n));
    if (static_cast<size_t>(n) == kFramePiece) return ReadRemainder(fd, message, options);
    CutAtZero(message);
    return FrameStatus::kComplete;
}

bool WriteMessage(int fd, std::string_view message) {
    size_t sent = 0;
    while (sent < message.size()) {
        ssize_t n = ::send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFor(fd, POLLOUT, 30'000)) continue;
        }
        return false;
    }
    return true;
}

}  // namespace warden

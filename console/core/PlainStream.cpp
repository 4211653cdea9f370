#include "console/core/PlainStream.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace warden::console {

bool PlainStream::Send(std::span<const std::string> messages) {
    for (const std::string& message : messages) {
        if (!message.empty() && !WriteMessage(m_socket.Fd(), message)) return false;
    }
    return true;
}

MessageStream::Status PlainStream::Receive(std::string& message, int waitMs) {
    const int fd = m_socket.Fd();
    char piece[kFramePiece];
    ssize_t got = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, waitMs);
        if (ready == 0 || (ready < 0 && errno == EINTR)) return Status::kNothingYet;
        if (ready < 0) return Status::kBroken;
        got = ::recv(fd, piece, kFramePiece, 0);
        if (got > 0) break;
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        return got == 0 ? Status::kClosed : Status::kBroken;
    }
    message.assign(piece, static_cast<size_t>(got));
    if (static_cast<size_t>(got) == kFramePiece) {
        // The rest of an oversized or endless reply would be read as the
        // next one.
        return ReadRemainder(fd, message, m_frame) == FrameStatus::kComplete ? Status::kMessage
                                                                             : Status::kBroken;
    }
    if (size_t zero = message.find('\0'); zero != std::string::npos) message.resize(zero);
    return Status::kMessage;
}

bool PlainStream::PeerClosed() {
    char byte = 0;
    ssize_t n = ::recv(m_socket.Fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

bool PlainStream::DropStale() {
    char scratch[kFramePiece];
    for (;;) {
        ssize_t n = ::recv(m_socket.Fd(), scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0 || (n < 0 && errno == EINTR)) continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

}  // namespace warden::console

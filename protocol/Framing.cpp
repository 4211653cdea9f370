#include "protocol/Framing.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace warden {

namespace {

using Clock = FrameAssembler::Clock;
using std::chrono::milliseconds;

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

// One read of at most `size` bytes, waiting for data on a non-blocking
// socket. Returns bytes read, 0 on orderly close, -1 on failure.
ssize_t ReadSome(int fd, char* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::recv(fd, buffer, size, 0);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLIN, -1)) continue;
        return -1;
    }
}

// Milliseconds from now to `deadline`, rounded up, never negative.
int MsUntil(Clock::time_point deadline) {
    auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<milliseconds>(left).count());
}

// Feeds `frame` from `fd` until the message is whole or lost.
FrameStatus Finish(int fd, FrameAssembler& frame, std::string& message,
                   Clock::time_point* lastByte = nullptr) {
    using State = FrameAssembler::State;
    char buffer[16 * kFramePiece];
    State state = frame.GetState();
    while (state == State::kArriving) {
        const bool readable = WaitFor(fd, POLLIN, MsUntil(frame.Deadline()));
        // Bytes that come after the grace period belong to the next message,
        // even when this reader was too busy to look in time.
        state = frame.Check(Clock::now());
        if (!readable || state != State::kArriving) continue;
        ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            state = frame.Add(std::string_view(buffer, static_cast<size_t>(n)), Clock::now());
        } else if (n == 0) {
            return FrameStatus::kClosed;
        } else if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            return FrameStatus::kError;
        }
    }
    switch (state) {
        case State::kComplete:
            if (lastByte) *lastByte = frame.LastArrival();
            message = frame.Take();
            return FrameStatus::kComplete;
        case State::kTooLarge:
            return FrameStatus::kTooLarge;
        default:
            return FrameStatus::kTooSlow;
    }
}

}  // namespace

FrameAssembler::State FrameAssembler::Add(std::string_view bytes, Clock::time_point now) {
    if (m_bytes.size() + bytes.size() > m_options->maxBytes) {
        m_bytes = std::string();
        return m_state = State::kTooLarge;
    }
    m_last = now;
    if (m_state == State::kEmpty) {
        m_first = now;
        if (bytes.size() < kFramePiece) {
            m_bytes.assign(bytes);
            return m_state = State::kComplete;
        }
    }
    m_bytes.append(bytes);
    return m_state = State::kArriving;
}

FrameAssembler::State FrameAssembler::Check(Clock::time_point now) {
    if (m_state != State::kArriving) return m_state;
    // Quiet for the grace period: whole, even when it took long to come.
    if (now - m_last >= milliseconds(m_options->graceMs)) return m_state = State::kComplete;
    if (now - m_first >= milliseconds(m_options->arrivalMs)) {
        m_bytes = std::string();
        return m_state = State::kTooSlow;
    }
    return m_state;
}

FrameAssembler::Clock::time_point FrameAssembler::Deadline() const {
    return std::min(m_last + milliseconds(m_options->graceMs),
                    m_first + milliseconds(m_options->arrivalMs));
}

std::string FrameAssembler::Take() {
    std::string message = std::move(m_bytes);
    if (size_t zero = message.find('\0'); zero != std::string::npos) message.resize(zero);
    Reset();
    return message;
}

void FrameAssembler::Reset() {
    m_bytes = std::string();
    m_state = State::kEmpty;
}

FrameStatus ReadMessage(int fd, std::string& message, const FrameOptions& options,
                        Clock::time_point* lastByte) {
    message.clear();
    char buffer[kFramePiece];
    ssize_t n = ReadSome(fd, buffer, sizeof buffer);
    if (n == 0) return FrameStatus::kClosed;
    if (n < 0) return FrameStatus::kError;
    FrameAssembler frame(options);
    frame.Add(std::string_view(buffer, static_cast<size_t>(n)), Clock::now());
    return Finish(fd, frame, message, lastByte);
}

FrameStatus ReadRemainder(int fd, std::string& message, const FrameOptions& options) {
    FrameAssembler frame(options);
    frame.Add(message, Clock::now());
    return Finish(fd, frame, message);
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

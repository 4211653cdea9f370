#include "server/net/CClientSocket.h"

#include <sys/socket.h>

#include <cerrno>

#include "protocol/SplitList.h"
#include "server/net/ReplyWire.h"
#include "server/net/ServerEngine.h"

namespace warden {

namespace {

using std::chrono::milliseconds;

// How long a refused connection may still send before it is closed: enough
// for the rest of an over-long request already on its way.
constexpr milliseconds kDrainTime(500);
// Reads per readiness while draining, so a peer that floods cannot keep the
// event thread to itself.
constexpr int kDrainReads = 16;

}  // namespace

CClientSocket::CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket)
    : m_engine(engine),
      m_socket(std::move(socket)),
      m_timer(m_socket.get_executor()),
      m_frame(engine.m_frameOptions) {
    ++m_engine.m_openConnections;
    ++m_engine.m_anonymous;
}

CClientSocket::~CClientSocket() {
    // Closed before it stops counting, so a count of zero means every
    // descriptor is back.
    asio::error_code ignored;
    m_socket.close(ignored);
    if (m_state == State::kWriting) --m_engine.m_writing;
    if (m_anonymous) --m_engine.m_anonymous;
    --m_engine.m_openConnections;
}

void CClientSocket::Begin() {
    std::lock_guard lock(m_mutex);
    Guarded([this] { Start(); });
}

void CClientSocket::Start() {
    asio::error_code ec;
    const auto peer = m_socket.remote_endpoint(ec);
    if (!ec) {
        m_session.peerAddress = peer.address().to_string();
        m_session.peerPort = std::to_string(peer.port());
    }
    if (!ec) m_socket.non_blocking(true, ec);
    if (ec) {
        Close();  // the peer left before it was served
        return;
    }
    m_idleSince = Clock::now();
    BecomeIdle();
}

void CClientSocket::Complete(std::string wire) noexcept {
    {
        std::lock_guard lock(m_mutex);
        CountLogin();
        m_idleSince = Clock::now();
        Guarded([&] {
            if (m_state != State::kProcessing) return;  // closed meanwhile
            if (wire.empty()) {
                BecomeIdle();
            } else {
                Send(std::move(wire), false);
            }
        });
    }
    m_engine.RequestDone();
}

template <typename Step>
void CClientSocket::Guarded(Step step) noexcept {
    // A step that fails half-way (no memory for a wait) would leave the
    // connection with nothing to wake it: close it instead.
    try {
        step();
    } catch (...) {
        Close();
    }
}

CClientSocket::Eviction CClientSocket::EvictIfAnonymous() {
    std::lock_guard lock(m_mutex);
    if (!m_anonymous) return Eviction::kLoggedIn;
    switch (m_state) {
        case State::kIdle:
        case State::kReceiving:
            Close();
            return Eviction::kEvicted;
        case State::kClosed:
            return Eviction::kEvicted;  // already leaving
        default:
            return Eviction::kBusy;
    }
}

void CClientSocket::CountLogin() {
    const bool anonymous = m_session.login == LoginLevel::kNone;
    if (anonymous == m_anonymous) return;
    m_anonymous = anonymous;
    if (anonymous) {
        ++m_engine.m_anonymous;
    } else {
        --m_engine.m_anonymous;
    }
}

void CClientSocket::WaitReadable() {
    // A wait may survive a state change (a request ended by its grace
    // period); it then serves as the next one.
    if (m_readPending) return;
    m_readPending = true;
    m_socket.async_wait(
        asio::socket_base::wait_read,
        [self = shared_from_this()](const asio::error_code& ec) { self->OnReadable(ec); });
}

void CClientSocket::WaitWritable() {
    if (m_writePending) return;
    m_writePending = true;
    m_socket.async_wait(
        asio::socket_base::wait_write,
        [self = shared_from_this()](const asio::error_code& ec) { self->OnWritable(ec); });
}

void CClientSocket::OnReadable(const asio::error_code& ec) {
    std::lock_guard lock(m_mutex);
    m_readPending = false;
    if (ec) return;
    switch (m_state) {
        case State::kIdle:
        case State::kReceiving:
            Guarded([this] { ReadInput(); });
            return;
        case State::kDraining:
            Guarded([this] { Drain(); });
            return;
        case State::kProcessing:
        case State::kWriting:
        case State::kClosed:
            // Whatever the peer sends before its reply waits in the kernel;
            // reading resumes after the reply.
            return;
    }
}

void CClientSocket::ReadInput() {
    if (m_engine.Stopping()) {
        Close();
        return;
    }
    // A message that went quiet for its grace period ended then, even when
    // this thread comes to its timer only now: what arrived since is the
    // next request, and stays in the kernel until this one is answered.
    if (m_state == State::kReceiving) {
        const FrameAssembler::State state = m_frame.Check(Clock::now());
        if (state != FrameAssembler::State::kArriving) {
            EndReceiving(state);
            return;
        }
    }
    char buffer[64 * 1024];
    FrameAssembler::State state = m_frame.GetState();
    for (;;) {
        ssize_t n = ::recv(m_socket.native_handle(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            state = m_frame.Add(std::string_view(buffer, static_cast<size_t>(n)), Clock::now());
            if (state != FrameAssembler::State::kArriving) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        // Closed or reset: a request cut off by that is never executed.
        Close();
        return;
    }
    switch (state) {
        case FrameAssembler::State::kComplete:
            HandOut();
            return;
        case FrameAssembler::State::kTooLarge:
            m_engine.Notice(ServerEngine::kTooLarge,
                            "refused a request of more than " +
                                std::to_string(m_engine.m_options.maxRequest) + " bytes from " +
                                m_session.peerAddress);
            Send(GeneralErrorWire(), true);
            return;
        case FrameAssembler::State::kArriving:
            m_state = State::kReceiving;
            SetDeadline(m_frame.Deadline());
            WaitReadable();
            return;
        default:
            WaitReadable();
            return;
    }
}

void CClientSocket::EndReceiving(FrameAssembler::State state) {
    switch (state) {
        case FrameAssembler::State::kComplete:
            HandOut();
            return;
        case FrameAssembler::State::kArriving:
            SetDeadline(m_frame.Deadline());
            return;
        default:
            m_engine.Notice(ServerEngine::kTooSlow,
                            "closed a connection from " + m_session.peerAddress +
                                " whose request was still arriving after " +
                                std::to_string(m_engine.m_options.arrivalMs) + " ms");
            Close();
            return;
    }
}

void CClientSocket::HandOut() {
    std::string wire = m_frame.Take();
    m_state = State::kProcessing;
    SetDeadline(Clock::time_point::max());
    if (Trim(wire).empty()) {
        BecomeIdle();  // white space is no request and gets no reply
        return;
    }
    if (!m_engine.StartWorker(shared_from_this(), std::move(wire))) Close();
}

void CClientSocket::Send(std::string wire, bool thenClose) {
    m_closeAfterWrite = thenClose;
    m_out = std::move(wire);
    m_state = State::kWriting;
    ++m_engine.m_writing;
    ContinueWrite(true);
}

void CClientSocket::ContinueWrite(bool first) {
    const int fd = m_socket.native_handle();
    size_t sent = 0;
    while (sent < m_out.size()) {
        ssize_t n =
            ::send(fd, m_out.data() + sent, m_out.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Close();  // the peer is gone
        return;
    }
    if (sent == m_out.size()) {
        --m_engine.m_writing;
        m_out = std::string();
        m_state = State::kIdle;  // no longer counted as writing
        if (m_closeAfterWrite) {
            ::shutdown(fd, SHUT_WR);
            m_state = State::kDraining;
            m_frame.Reset();
            SetDeadline(Clock::now() + kDrainTime);
            Drain();
        } else {
            BecomeIdle();
        }
        return;
    }
    // The peer reads slowly or not at all: keep the rest and wait for room,
    // but only as long as it makes progress.
    m_out.erase(0, sent);
    if (first || sent > 0) {
        SetDeadline(Clock::now() + milliseconds(m_engine.m_options.writeStallMs));
    }
    WaitWritable();
}

void CClientSocket::OnWritable(const asio::error_code& ec) {
    std::lock_guard lock(m_mutex);
    m_writePending = false;
    if (ec || m_state != State::kWriting) return;
    Guarded([this] { ContinueWrite(false); });
}

void CClientSocket::Drain() {
    // Closing with unread input would make the kernel reset the connection,
    // which can destroy the refusal before the peer reads it; so read and
    // drop what still comes, until the peer closes or the time is up.
    char buffer[64 * 1024];
    for (int i = 0; i < kDrainReads; ++i) {
        ssize_t n = ::recv(m_socket.native_handle(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Close();
        return;
    }
    WaitReadable();
}

void CClientSocket::BecomeIdle() {
    if (m_engine.Stopping()) {
        Close();
        return;
    }
    m_state = State::kIdle;
    const int idleMs = m_engine.m_options.anonymousIdleMs;
    SetDeadline(m_anonymous && idleMs > 0 ? m_idleSince + milliseconds(idleMs)
                                          : Clock::time_point::max());
    WaitReadable();
}

void CClientSocket::SetDeadline(Clock::time_point deadline) {
    m_deadline = deadline;
    // A later deadline leaves the timer as it is: when it fires it looks at
    // the current deadline and waits again. So the timer is touched about
    // once per period, not once per request.
    if (deadline >= m_armedFor) return;
    m_armedFor = deadline;
    const uint32_t generation = ++m_timerGeneration;
    m_timer.expires_at(deadline);
    m_timer.async_wait([self = shared_from_this(), generation](const asio::error_code& ec) {
        self->OnTimer(generation, ec);
    });
}

void CClientSocket::OnTimer(uint32_t generation, const asio::error_code& ec) {
    std::lock_guard lock(m_mutex);
    if (ec || generation != m_timerGeneration || m_state == State::kClosed) return;
    m_armedFor = Clock::time_point::max();
    Guarded([this] { Expire(); });
}

void CClientSocket::Expire() {
    const auto now = Clock::now();
    if (now < m_deadline) {
        SetDeadline(m_deadline);
        return;
    }
    switch (m_state) {
        case State::kReceiving:
            EndReceiving(m_frame.Check(now));
            return;
        case State::kIdle:      // no request, and no login, for too long
        case State::kWriting:   // the peer stopped reading its reply
        case State::kDraining:  // the refused peer had its moment
            Close();
            return;
        case State::kProcessing:
        case State::kClosed:
            return;
    }
}

void CClientSocket::Close() noexcept {
    if (m_state == State::kClosed) return;
    if (m_state == State::kWriting) --m_engine.m_writing;
    m_state = State::kClosed;
    // Pending waits end with an error and let go of the connection.
    asio::error_code ignored;
    m_socket.close(ignored);
    try {
        m_timer.cancel();
    } catch (...) {
        // Only a stale wake-up is left, which finds the connection closed.
    }
    m_frame.Reset();
    m_out = std::string();
}

}  // namespace warden

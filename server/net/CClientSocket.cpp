#include "server/net/CClientSocket.h"

#include <sys/socket.h>

#include <cerrno>
#include <thread>

#include "protocol/GbkCodec.h"
#include "protocol/SplitList.h"
#include "server/net/ReplyWire.h"
#include "server/net/ServerEngine.h"

namespace warden {

namespace {

using std::chrono::milliseconds;
using Clock = CClientSocket::Clock;

// How long a refused connection may still send before it is closed: enough
// for the rest of an over-long request already on its way.
constexpr milliseconds kDrainTime(500);
// Reads per readiness while draining, so a peer that floods cannot keep the
// event thread to itself.
constexpr int kDrainReads = 16;

// Writes what the socket takes now. False when the peer is gone.
bool WriteSome(int fd, const std::string& bytes, size_t& sent) {
    while (sent < bytes.size()) {
        ssize_t n =
            ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    return true;
}

}  // namespace

CClientSocket::Lock::Lock(std::atomic_flag& flag) : m_flag(flag) {
    while (m_flag.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
}

CClientSocket::CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket)
    : m_engine(engine), m_socket(std::move(socket)) {
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

void CClientSocket::Begin() {
    Lock lock(m_locked);
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
        Lock lock(m_locked);
        Guarded([&] {
            if (m_state != State::kProcessing) return;  // closed meanwhile
            Answer(std::move(wire));
        });
    }
    m_engine.RequestDone();
}

CClientSocket::Eviction CClientSocket::EvictIfAnonymous() {
    Lock lock(m_locked);
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
    const bool anonymous = !m_session.administrator;
    if (anonymous == m_anonymous) return;
    m_anonymous = anonymous;
    if (anonymous) {
        ++m_engine.m_anonymous;
    } else {
        --m_engine.m_anonymous;
    }
}

CClientSocket::Clock::time_point CClientSocket::LoginDeadline() const {
    if (m_session.login == LoginLevel::kNone) return Clock::time_point::max();
    const EngineOptions& options = m_engine.m_options;
    Clock::time_point deadline = Clock::time_point::max();
    if (options.sessionIdle.count() > 0) deadline = m_idleSince + options.sessionIdle;
    if (options.sessionLifetime.count() > 0) {
        deadline = std::min(deadline, m_session.loginAt + options.sessionLifetime);
    }
    return deadline;
}

bool CClientSocket::EndExpiredLogin(Clock::time_point now) {
    if (LoginDeadline() > now) return false;
    // Its next request hears "please log in", and the connection counts as
    // one without a login from now on.
    m_session.Logout();
    CountLogin();
    return true;
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
    Lock lock(m_locked);
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
    if (m_partial) {
        const FrameAssembler::State state = m_partial->Check(Clock::now());
        if (state != FrameAssembler::State::kArriving) {
            EndReceiving(state);
            return;
        }
    }
    // Most requests fit one read and never need a buffer of their own.
    FrameAssembler fresh(m_engine.m_frameOptions);
    FrameAssembler& frame = m_partial ? *m_partial : fresh;
    char buffer[64 * 1024];
    FrameAssembler::State state = frame.GetState();
    for (;;) {
        ssize_t n = ::recv(m_socket.native_handle(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            state = frame.Add(std::string_view(buffer, static_cast<size_t>(n)), Clock::now());
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
        case FrameAssembler::State::kComplete: {
            std::string wire = frame.Take();
            m_partial.reset();
            HandOut(std::move(wire));
            return;
        }
        case FrameAssembler::State::kTooLarge:
            m_partial.reset();
            m_engine.Notice(ServerEngine::kTooLarge,
                            "refused a request of more than " +
                                std::to_string(m_engine.m_options.maxRequest) + " bytes from " +
                                m_session.peerAddress);
            Send(GeneralErrorWire(), true);
            return;
        case FrameAssembler::State::kArriving:
            if (!m_partial) m_partial = std::make_unique<FrameAssembler>(std::move(fresh));
            m_state = State::kReceiving;
            SetDeadline(m_partial->Deadline());
            WaitReadable();
            return;
        default:
            WaitReadable();
            return;
    }
}

void CClientSocket::EndReceiving(FrameAssembler::State state) {
    switch (state) {
        case FrameAssembler::State::kComplete: {
            std::string wire = m_partial->Take();
            m_partial.reset();
            HandOut(std::move(wire));
            return;
        }
        case FrameAssembler::State::kArriving:
            SetDeadline(m_partial->Deadline());
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

void CClientSocket::HandOut(std::string wire) {
    EndExpiredLogin(Clock::now());
    m_state = State::kProcessing;
    SetDeadline(Clock::time_point::max());
    if (Trim(wire).empty()) {
        BecomeIdle();  // white space is no request and gets no reply
        return;
    }
    std::optional<std::string> text = GbkToUtf8(wire);
    if (!text) {
        Answer(GeneralErrorWire());  // not GBK: refused, nothing changed
        return;
    }
    // A request that needs no back-end is answered here: the trip to a
    // worker and back would cost more than the answer.
    if (std::optional<std::string> reply = m_engine.AnswerAtOnce(*text, m_session)) {
        Answer(std::move(*reply));
        return;
    }
    if (!m_engine.StartWorker(shared_from_this(), std::move(*text))) Close();
}

void CClientSocket::Answer(std::string wire) {
    CountLogin();
    m_idleSince = Clock::now();
    if (wire.empty()) {
        BecomeIdle();
    } else {
        Send(std::move(wire), false);
    }
}

void CClientSocket::Send(std::string wire, bool thenClose) {
    m_closeAfterWrite = thenClose;
    size_t sent = 0;
    if (!WriteSome(m_socket.native_handle(), wire, sent)) {
        Close();  // the peer is gone
        return;
    }
    if (sent == wire.size()) {
        AfterReply();
        return;
    }
    // The peer reads slowly or not at all: keep the rest and wait for room,
    // but only as long as it makes progress.
    wire.erase(0, sent);
    m_out = std::make_unique<std::string>(std::move(wire));
    m_state = State::kWriting;
    ++m_engine.m_writing;
    SetDeadline(Clock::now() + milliseconds(m_engine.m_options.writeStallMs));
    WaitWritable();
}

void CClientSocket::ContinueWrite() {
    size_t sent = 0;
    if (!WriteSome(m_socket.native_handle(), *m_out, sent)) {
        Close();
        return;
    }
    if (sent == m_out->size()) {
        --m_engine.m_writing;
        m_out.reset();
        m_state = State::kIdle;  // no longer counted as writing
        AfterReply();
        return;
    }
    m_out->erase(0, sent);
    if (sent > 0) SetDeadline(Clock::now() + milliseconds(m_engine.m_options.writeStallMs));
    WaitWritable();
}

void CClientSocket::AfterReply() {
    if (!m_closeAfterWrite) {
        BecomeIdle();
        return;
    }
    ::shutdown(m_socket.native_handle(), SHUT_WR);
    m_state = State::kDraining;
    SetDeadline(Clock::now() + kDrainTime);
    Drain();
}

void CClientSocket::OnWritable(const asio::error_code& ec) {
    Lock lock(m_locked);
    m_writePending = false;
    if (ec || m_state != State::kWriting) return;
    Guarded([this] { ContinueWrite(); });
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
    const Clock::time_point anonymous =
        m_anonymous && idleMs > 0 ? m_idleSince + milliseconds(idleMs) : Clock::time_point::max();
    SetDeadline(std::min(anonymous, LoginDeadline()));
    WaitReadable();
}

void CClientSocket::SetDeadline(Clock::time_point deadline) {
    if (!m_timing) {
        if (deadline == Clock::time_point::max()) return;
        m_timing = std::make_unique<Timing>(m_socket.get_executor());
    }
    m_timing->deadline = deadline;
    // A later deadline leaves the timer as it is: when it fires it looks at
    // the current deadline and waits again. So the timer is touched about
    // once per period, not once per request.
    if (deadline >= m_timing->armedFor) return;
    m_timing->armedFor = deadline;
    const uint32_t generation = ++m_timing->generation;
    m_timing->timer.expires_at(deadline);
    m_timing->timer.async_wait([self = shared_from_this(), generation](const asio::error_code& ec) {
        self->OnTimer(generation, ec);
    });
}

void CClientSocket::OnTimer(uint32_t generation, const asio::error_code& ec) {
    Lock lock(m_locked);
    if (ec || !m_timing || generation != m_timing->generation || m_state == State::kClosed) {
        return;
    }
    m_timing->armedFor = Clock::time_point::max();
    Guarded([this] { Expire(); });
}

void CClientSocket::Expire() {
    const auto now = Clock::now();
    if (m_timing->deadline == Clock::time_point::max()) {
        // Nothing to wait for (a login ended the idle limit): the timer goes
        // until a deadline needs one again. No wait of it is pending.
        m_timing.reset();
        return;
    }
    if (now < m_timing->deadline) {
        SetDeadline(m_timing->deadline);
        return;
    }
    switch (m_state) {
        case State::kReceiving:
            EndReceiving(m_partial->Check(now));
            return;
        case State::kIdle:
            if (EndExpiredLogin(now)) {
                // The connection may stay as long as one without a login.
                m_idleSince = now;
                BecomeIdle();
                return;
            }
            Close();  // no request, and no login, for too long
            return;
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
    if (m_timing) {
        try {
            m_timing->timer.cancel();
        } catch (...) {
            // Only a stale wake-up is left, which finds the connection closed.
        }
    }
    m_partial.reset();
    m_out.reset();
}

}  // namespace warden

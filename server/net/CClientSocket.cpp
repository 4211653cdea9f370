#include "server/net/CClientSocket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
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
// What one TLS connection may have read ahead of its answers, beyond the
// frame in front: a pipeline deeper than this waits in the kernel.
constexpr size_t kPipelineBytes = 64 * 1024;

std::string FramedReply(std::string_view wire) {
    std::string frame;
    AppendLengthFrame(frame, wire);
    return frame;
}

// Writes what the socket takes now. False when the peer is gone.
bool SendSome(int fd, const std::string& bytes, size_t& sent) {
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

CClientSocket::CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket,
                             std::unique_ptr<TlsStream> tls)
    : m_engine(engine), m_socket(std::move(socket)), m_tls(std::move(tls)) {
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
        // A listener for both families sees an IPv4 peer as ::ffff:a.b.c.d;
        // throttling, the audit trail and the operator know it as a.b.c.d.
        asio::ip::address address = peer.address();
        if (address.is_v6() && address.to_v6().is_v4_mapped()) {
            address = asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6());
        }
        m_session.peerAddress = address.to_string();
        m_session.peerPort = std::to_string(peer.port());
    }
    if (!ec) m_socket.non_blocking(true, ec);
    if (ec) {
        Close();  // the peer left before it was served
        return;
    }
    m_idleSince = Clock::now();
    if (m_tls) {
        // OpenSSL writes a handshake flight, and a long reply, as several
        // records, each its own send: without this the peer's delayed
        // acknowledgement would hold every second one back for 40 ms.
        m_socket.set_option(asio::ip::tcp::no_delay(true), ec);
        m_session.transport = Transport::kTls;
        m_state = State::kHandshaking;
        SetDeadline(m_idleSince + milliseconds(m_engine.m_options.handshakeMs));
        WaitReadable();
        return;
    }
    BecomeIdle();
}

void CClientSocket::QueueHandshakeStep() {
    // The step's cryptography is the costly part of a connection's life: it
    // runs on the handshake threads, never on the event thread.
    if (m_stepQueued) return;
    m_stepQueued = true;
    if (!m_engine.SubmitHandshakeStep([self = shared_from_this()] { self->HandshakeStep(); })) {
        Close();
    }
}

void CClientSocket::HandshakeStep() {
    Lock lock(m_locked);
    m_stepQueued = false;
    if (m_state != State::kHandshaking) return;  // closed meanwhile
    Guarded([this] {
        switch (m_tls->Handshake()) {
            case TlsStream::Io::kDone: {
                // The peer's last flight gets no answer (no session tickets),
                // so its acknowledgement would wait 40 ms, and with it a
                // first request that the peer's Nagle rule holds back: send
                // it now.
                const int now = 1;
                ::setsockopt(m_socket.native_handle(), IPPROTO_TCP, TCP_QUICKACK, &now, sizeof now);
                BecomeIdle();
                return;
            }
            case TlsStream::Io::kWantRead:
                WaitReadable();
                return;
            case TlsStream::Io::kWantWrite:
                WaitWritable();
                return;
            case TlsStream::Io::kClosed:
                Close();  // not TLS 1.3, not TLS at all, or the peer left
                return;
        }
    });
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
        case State::kHandshaking:
            if (m_stepQueued) return Eviction::kBusy;
            Close();
            return Eviction::kEvicted;
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
        case State::kHandshaking:
            Guarded([this] { QueueHandshakeStep(); });
            return;
        case State::kIdle:
        case State::kReceiving:
            Guarded([this] { ReadInput(); });
            return;
        case State::kDraining:
            Guarded([this] { Drain(); });
            return;
        case State::kWriting:
            if (m_wantsOtherWay) Guarded([this] { ContinueWrite(); });
            return;
        case State::kProcessing:
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
    if (m_tls) {
        ReadFrames();
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

bool CClientSocket::QueueFull() const {
    return m_pipeline && (m_pipeline->bytes >= kPipelineBytes || m_pipeline->tooLarge);
}

void CClientSocket::TakeFrames(std::string_view bytes) {
    if (!m_pipeline) m_pipeline = std::make_unique<Pipeline>(m_engine.m_options.maxRequest);
    Pipeline& pipeline = *m_pipeline;
    bool starts = !pipeline.reader.InsideMessage();
    pipeline.reader.Add(bytes);
    std::string message;
    for (;;) {
        switch (pipeline.reader.Next(message)) {
            case LengthFrameReader::State::kMessage:
                pipeline.bytes += message.size();
                pipeline.requests.push_back(std::move(message));
                starts = true;
                continue;
            case LengthFrameReader::State::kTooLarge:
                pipeline.tooLarge = true;
                return;
            case LengthFrameReader::State::kNeedMore:
                if (starts) pipeline.partSince = Clock::now();
                return;
        }
    }
}

void CClientSocket::ReadFrames() {
    char buffer[16 * 1024];  // a TLS record's largest payload
    while (!QueueFull()) {
        size_t got = 0;
        switch (m_tls->Read(buffer, sizeof buffer, got)) {
            case TlsStream::Io::kDone:
                // Most requests come alone, whole in one read: they need no
                // queue of their own.
                if (!m_pipeline && got >= kLengthHeaderBytes && !m_tls->HasPending() &&
                    got - kLengthHeaderBytes == ReadLengthHeader(buffer) &&
                    got - kLengthHeaderBytes <= m_engine.m_options.maxRequest) {
                    HandOut(std::string(buffer + kLengthHeaderBytes, got - kLengthHeaderBytes));
                    return;
                }
                TakeFrames(std::string_view(buffer, got));
                // A whole request is enough: the socket says when more comes,
                // and a read that finds nothing would cost a system call.
                if (m_pipeline->requests.empty() || m_tls->HasPending()) continue;
                NextFrame();
                return;
            case TlsStream::Io::kWantRead:
                NextFrame();
                return;
            case TlsStream::Io::kWantWrite:
                m_wantsOtherWay = true;
                WaitWritable();
                return;
            case TlsStream::Io::kClosed:
                // A frame cut off by that is never executed.
                Close();
                return;
        }
    }
    m_readPaused = true;
    NextFrame();
}

void CClientSocket::NextFrame() {
    if (!m_pipeline) {
        AwaitRequest();
        return;
    }
    Pipeline& pipeline = *m_pipeline;
    if (!pipeline.requests.empty()) {
        std::string request = std::move(pipeline.requests.front());
        pipeline.requests.pop_front();
        pipeline.bytes -= request.size();
        if (pipeline.requests.empty() && !pipeline.tooLarge && !pipeline.reader.InsideMessage()) {
            m_pipeline.reset();  // an idle connection keeps no buffer
        }
        HandOut(std::move(request));
        return;
    }
    if (pipeline.tooLarge) {
        // Every request before it has been answered; the stream cannot be
        // read past it.
        m_pipeline.reset();
        m_readPaused = false;
        m_engine.Notice(ServerEngine::kTooLarge, "refused a request of more than " +
                                                     std::to_string(m_engine.m_options.maxRequest) +
                                                     " bytes from " + m_session.peerAddress);
        Send(FramedReply(GeneralErrorWire()), true);
        return;
    }
    if (pipeline.reader.InsideMessage()) {
        m_state = State::kReceiving;
        SetDeadline(pipeline.partSince + milliseconds(m_engine.m_options.arrivalMs));
        WaitReadable();
        return;
    }
    m_pipeline.reset();
    AwaitRequest();
}

void CClientSocket::ServeQueued() {
    if ((m_readPaused && !QueueFull()) || !m_pipeline) {
        // Reading stopped at the bound, or the TLS layer read ahead.
        m_readPaused = false;
        ReadFrames();
        return;
    }
    NextFrame();
}

void CClientSocket::HandOut(std::string wire) {
    EndExpiredLogin(Clock::now());
    m_state = State::kProcessing;
    SetDeadline(Clock::time_point::max());
    if (Trim(wire).empty()) {
        // White space is no request: no reply, or on the TLS port the empty
        // frame that keeps the replies paired with the requests.
        Answer({});
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
    if (m_tls) {
        Send(FramedReply(wire), false);
    } else if (wire.empty()) {
        BecomeIdle();
    } else {
        Send(std::move(wire), false);
    }
}

bool CClientSocket::WriteSome(const std::string& bytes, size_t& sent) {
    if (!m_tls) return SendSome(m_socket.native_handle(), bytes, sent);
    m_wantsOtherWay = false;
    while (sent < bytes.size()) {
        size_t wrote = 0;
        switch (m_tls->Write(bytes.data() + sent, bytes.size() - sent, wrote)) {
            case TlsStream::Io::kDone:
                sent += wrote;
                continue;
            case TlsStream::Io::kWantRead:
                m_wantsOtherWay = true;
                return true;
            case TlsStream::Io::kWantWrite:
                return true;
            case TlsStream::Io::kClosed:
                return false;
        }
    }
    return true;
}

void CClientSocket::Send(std::string wire, bool thenClose) {
    m_closeAfterWrite = thenClose;
    size_t sent = 0;
    if (!WriteSome(wire, sent)) {
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
    m_wantsOtherWay ? WaitReadable() : WaitWritable();
}

void CClientSocket::ContinueWrite() {
    size_t sent = 0;
    if (!WriteSome(*m_out, sent)) {
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
    m_wantsOtherWay ? WaitReadable() : WaitWritable();
}

void CClientSocket::AfterReply() {
    if (!m_closeAfterWrite) {
        BecomeIdle();
        return;
    }
    if (m_tls) m_tls->Shutdown();
    ::shutdown(m_socket.native_handle(), SHUT_WR);
    m_state = State::kDraining;
    SetDeadline(Clock::now() + kDrainTime);
    Drain();
}

void CClientSocket::OnWritable(const asio::error_code& ec) {
    Lock lock(m_locked);
    m_writePending = false;
    if (ec) return;
    switch (m_state) {
        case State::kHandshaking:
            Guarded([this] { QueueHandshakeStep(); });
            return;
        case State::kWriting:
            Guarded([this] { ContinueWrite(); });
            return;
        case State::kIdle:
        case State::kReceiving:
            if (m_wantsOtherWay) {
                m_wantsOtherWay = false;
                Guarded([this] { ReadInput(); });
            }
            return;
        default:
            return;
    }
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
    if (m_tls && (m_pipeline || m_readPaused || m_tls->HasPending())) {
        m_state = State::kIdle;
        asio::post(m_socket.get_executor(), [self = shared_from_this()] {
            Lock lock(self->m_locked);
            if (self->m_state == State::kIdle) self->Guarded([&] { self->ServeQueued(); });
        });
        return;
    }
    AwaitRequest();
}

void CClientSocket::AwaitRequest() {
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
        case State::kHandshaking:
            m_engine.Notice(ServerEngine::kHandshake,
                            "closed a connection from " + m_session.peerAddress +
                                " that had not finished its TLS handshake after " +
                                std::to_string(m_engine.m_options.handshakeMs) + " ms");
            Close();
            return;
        case State::kReceiving:
            if (m_tls) {
                m_engine.Notice(ServerEngine::kTooSlow,
                                "closed a connection from " + m_session.peerAddress +
                                    " whose request was still arriving after " +
                                    std::to_string(m_engine.m_options.arrivalMs) + " ms");
                Close();
                return;
            }
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
    m_pipeline.reset();
}

}  // namespace warden

// One accepted console connection, driven by the event thread: it waits for
// input without a buffer, assembles a request in its own buffer with the
// framing rules, hands the whole request to a worker, and after the answer
// writes the reply (directly when the socket takes it at once, otherwise on
// the event thread, as the peer reads) before it reads the next request. So
// one connection has at most one request in flight, and a peer that trickles
// bytes or never reads costs memory and a timer, never a thread.
//
// A connection of the TLS port first completes its handshake (each step on
// the engine's handshake threads, so that a crowd of peers handshaking never
// holds up the consoles' requests), then reads length frames: every frame
// the peer has sent is taken in, up to a bound, and answered in order, one at
// a time, each reply a frame too (of length 0 where the plain port would send
// nothing).
//
// One timer per connection carries whichever deadline the connection's state
// has: a handshake, idle without a login, the end of a login (idle or too
// old), a request still arriving, a reply that makes no progress, the short
// drain before closing a refused connection. The timer
// and the buffers exist only while they are needed, so an idle connection
// costs little more than its socket.
//
// Thread-safety: every member is guarded by the connection's lock, which the
// event thread's handlers and the thread that completes a request take; the
// object is freed when the last handler or request lets go of it.
#pragma once

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "protocol/Framing.h"
#include "protocol/LengthFraming.h"
#include "server/net/Session.h"
#include "server/net/TlsStream.h"

namespace warden {

class ServerEngine;

class CClientSocket : public std::enable_shared_from_this<CClientSocket> {
  public:
    using Clock = std::chrono::steady_clock;

    // `tls`, when given, is the connection's TLS over `socket`: it speaks
    // the TLS port's frames.
    CClientSocket(ServerEngine& engine, asio::ip::tcp::socket socket,
                  std::unique_ptr<TlsStream> tls = nullptr);
    ~CClientSocket();
    CClientSocket(const CClientSocket&) = delete;
    CClientSocket& operator=(const CClientSocket&) = delete;

    // Starts serving a freshly accepted connection. Event thread.
    void Begin();

    // Ends the request handed out last: sends `wire` (GBK; empty: no reply),
    // then reads the next request. Any thread; once per request.
    void Complete(std::string wire) noexcept;

    enum class Eviction { kEvicted, kBusy, kLoggedIn };
    // Closes the connection if it has not logged in and has no request in
    // hand (it waits for one, or one is still arriving). Any thread.
    Eviction EvictIfAnonymous();

    // REQUIRES: the caller holds the connection's current request.
    Session& GetSession() { return m_session; }

  private:
    enum class State : uint8_t {
        kHandshaking,  // TLS: the handshake is under way
        kIdle,         // waiting for a request's first byte
        kReceiving,    // part of a request is in the buffer
        kProcessing,   // a worker has the request
        kWriting,      // the reply is partly written
        kDraining,     // a refusal was sent; reading what the peer still sends, then closing
        kClosed,
    };

    // The lock: held for a few system calls at most, and contended only when
    // a request completes while a timer fires, so a byte that spins (and
    // yields) costs less than a mutex in every one of thousands of
    // connections.
    class Lock {
      public:
        explicit Lock(std::atomic_flag& flag);
        ~Lock() { m_flag.clear(std::memory_order_release); }
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

      private:
        std::atomic_flag& m_flag;
    };

    // TLS: what the peer has sent ahead of its answers.
    struct Pipeline {
        explicit Pipeline(size_t maxBytes) : reader(maxBytes) {}
        LengthFrameReader reader;            // the frame still arriving
        std::deque<std::string> requests;    // whole frames, in the order received
        size_t bytes = 0;                    // their size
        bool tooLarge = false;               // the frame after them is over the limit
        Clock::time_point partSince;         // when the frame still arriving began
    };

    struct Timing {
        explicit Timing(const asio::any_io_executor& executor) : timer(executor) {}
        asio::steady_timer timer;
        Clock::time_point deadline = Clock::time_point::max();  // of the current state
        Clock::time_point armedFor = Clock::time_point::max();  // the timer's expiry
        uint32_t generation = 0;
    };

    // Each REQUIRES the lock held.
    template <typename Step>
    void Guarded(Step step) noexcept;
    void Start();
    void Expire();
    void WaitReadable();
    void WaitWritable();
    void ReadInput();
    // TLS: reads what the peer has sent, up to the bound on what one
    // connection may queue, then serves the next frame.
    void ReadFrames();
    void TakeFrames(std::string_view bytes);
    bool QueueFull() const;
    // TLS: hands out the next whole frame, or waits for one.
    void NextFrame();
    // TLS: after a reply, the frames that came meanwhile, on the event
    // thread's next turn (a long pipeline must not recurse).
    void ServeQueued();
    // TLS: one handshake step, on a handshake thread.
    void QueueHandshakeStep();
    void HandshakeStep();
    // Writes what the socket takes now; false when the peer is gone.
    bool WriteSome(const std::string& bytes, size_t& sent);
    // At a look at a request still arriving: hands it out when whole,
    // closes the connection when it is too slow, or waits on.
    void EndReceiving(FrameAssembler::State state);
    void HandOut(std::string wire);
    // Ends the request in hand: sends `wire` (empty: no reply), then reads
    // the next request.
    void Answer(std::string wire);
    void Send(std::string wire, bool thenClose);
    void ContinueWrite();
    void AfterReply();
    void BecomeIdle();
    void AwaitRequest();
    void Drain();
    void SetDeadline(Clock::time_point deadline);
    void Close() noexcept;
    void CountLogin();
    // When the session's login ends by time (idle or lifetime); max when
    // it has none.
    Clock::time_point LoginDeadline() const;
    // Ends the login when its time is up; true when it did.
    bool EndExpiredLogin(Clock::time_point now);

    void OnReadable(const asio::error_code& ec);
    void OnWritable(const asio::error_code& ec);
    void OnTimer(uint32_t generation, const asio::error_code& ec);

    ServerEngine& m_engine;
    asio::ip::tcp::socket m_socket;
    Session m_session;
    std::unique_ptr<Timing> m_timing;           // while a deadline needs a timer
    std::unique_ptr<FrameAssembler> m_partial;  // a request still arriving
    std::unique_ptr<std::string> m_out;         // the unwritten rest of a reply
    std::unique_ptr<TlsStream> m_tls;           // the TLS port's connections only
    std::unique_ptr<Pipeline> m_pipeline;       // TLS: while frames are read and not handed out
    Clock::time_point m_idleSince;
    std::atomic_flag m_locked;
    State m_state = State::kIdle;
    bool m_readPending = false;
    bool m_writePending = false;
    bool m_closeAfterWrite = false;
    bool m_anonymous = true;       // counted in the engine's anonymous connections
    bool m_stepQueued = false;     // TLS: a handshake step waits for a thread
    bool m_readPaused = false;     // TLS: reading stopped at the queue's bound
    bool m_wantsOtherWay = false;  // TLS: a read needs writability, or a write readability
};

}  // namespace warden

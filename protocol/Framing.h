// How one message travels on a stream socket: no length and no terminator.
// The sender writes exactly the message's bytes in one send. The receiver
// reads pieces of 1024 bytes:
//  - a message whose first read is shorter than a piece is whole at once;
//  - a longer message is whole only when no byte has arrived for a grace
//    period (at least 100 ms), because on a stream a short read can fall in
//    the middle of one send: the segments of a long message arrive apart, and
//    ending it at the first short read would act on half a message. A message
//    whose length is an exact multiple of 1024 ends the same way.
//  - a message that outgrows the size cap is refused whatever its timing, and
//    one still arriving too long after its first byte is abandoned;
//  - a zero byte ends the text; what follows it in the message is dropped;
//  - a peer that closes in the middle of a message has sent no message.
//
// FrameAssembler holds the rule without a socket, for the server's event
// thread; ReadMessage and ReadRemainder apply it on a blocking socket.
//
// Thread-safety: a FrameAssembler belongs to one reader at a time; the
// functions keep no state; one socket must not be read by two threads at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace warden {

inline constexpr size_t kFramePiece = 1024;
// Below this the segments of one send on a busy network may arrive apart.
inline constexpr int kMinGraceMs = 100;

struct FrameOptions {
    size_t maxBytes = 1 << 20;  // a longer message is refused, never truncated
    int graceMs = kMinGraceMs;  // quiet time that ends a message longer than a piece
    int arrivalMs = 30'000;     // a message still arriving after this is abandoned
};

enum class FrameStatus {
    kComplete,  // a whole message was read (it may be empty after a zero byte)
    kClosed,    // the peer closed the connection before the message was whole
    kTooLarge,  // the message exceeded maxBytes; the stream is unusable
    kTooSlow,   // the message was still arriving after arrivalMs; the stream is unusable
    kError,     // the socket failed
};

class FrameAssembler {
  public:
    using Clock = std::chrono::steady_clock;
    enum class State { kEmpty, kArriving, kComplete, kTooLarge, kTooSlow };

    // REQUIRES: `options` outlives the assembler.
    explicit FrameAssembler(const FrameOptions& options) : m_options(&options) {}

    // Adds the bytes of one read made at `now`; a read may be larger than a
    // piece, which changes nothing: what counts is whether the first read of
    // a message was shorter than a piece. REQUIRES: the state is kEmpty or
    // kArriving and `bytes` is not empty.
    State Add(std::string_view bytes, Clock::time_point now);

    // Looks again at `now`, when no byte has come since the last Add.
    State Check(Clock::time_point now);

    // When to Check next if nothing arrives. REQUIRES: the state is kArriving.
    Clock::time_point Deadline() const;

    State GetState() const { return m_state; }
    size_t Size() const { return m_bytes.size(); }
    // When the last bytes were added. REQUIRES: some were.
    Clock::time_point LastArrival() const { return m_last; }

    // The whole message with the zero-byte rule applied, and a fresh start
    // (the buffer's memory goes with it). REQUIRES: the state is kComplete.
    std::string Take();

    // Drops whatever has arrived and starts afresh.
    void Reset();

  private:
    const FrameOptions* m_options;
    std::string m_bytes;
    Clock::time_point m_first;
    Clock::time_point m_last;
    State m_state = State::kEmpty;
};

// Reads one message from blocking or non-blocking `fd`, waiting as long as it
// takes for the first byte. `lastByte`, when given, gets the time the
// message's last bytes were read (a long message is whole only a grace
// period later).
FrameStatus ReadMessage(int fd, std::string& message, const FrameOptions& options = {},
                        FrameAssembler::Clock::time_point* lastByte = nullptr);

// Reads the rest of a message whose first read, already in `message`, filled
// a whole piece. For readers that wait for the first piece their own way.
FrameStatus ReadRemainder(int fd, std::string& message, const FrameOptions& options = {});

// Writes exactly `message`, completing partial sends. Never raises SIGPIPE.
// Returns false when the connection failed before every byte was sent.
bool WriteMessage(int fd, std::string_view message);

}  // namespace warden

// How one message travels on a stream socket: no length and no terminator.
// The sender writes exactly the message's bytes; the receiver reads 1024-byte
// pieces and takes the first short read as the end. A message whose length is
// an exact multiple of 1024 would leave the receiver waiting for a read that
// never comes, so after a full piece the reader waits only a short grace for
// more bytes and otherwise ends the message.
//
// Thread-safety: the functions keep no state; one socket must not be read or
// written by two threads at once.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace warden {

inline constexpr size_t kFramePiece = 1024;

struct FrameOptions {
    size_t maxBytes = 1 << 20;  // a longer message is refused, not truncated
    int graceMs = 20;           // wait for more bytes after a full piece
};

enum class FrameStatus {
    kComplete,  // a whole message was read (it may be empty after a zero byte)
    kClosed,    // the peer closed the connection before any byte arrived
    kTooLarge,  // the message exceeded maxBytes; the stream is unusable
    kError,     // the socket failed
};

// Reads one message from `fd`, blocking until its first piece arrives.
// A zero byte ends the text; the bytes after it in the message are consumed.
FrameStatus ReadMessage(int fd, std::string& message, const FrameOptions& options = {});

// Reads the rest of a message whose first piece, already in `message`, was a
// full 1024 bytes. For readers that wait for the first piece their own way.
FrameStatus ReadRemainder(int fd, std::string& message, const FrameOptions& options = {});

// Writes exactly `message`, completing partial sends. Never raises SIGPIPE.
// Returns false when the connection failed before every byte was sent.
bool WriteMessage(int fd, std::string_view message);

}  // namespace warden

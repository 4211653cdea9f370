// One connection's messages, whatever carries them: the plain port's stream
// (PlainStream) or TLS with length-prefixed frames (TlsStream). The
// transport above it keeps the order of requests and replies and the waits.
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace warden::console {

class MessageStream {
  public:
    virtual ~MessageStream() = default;

    // Sends each message (GBK) whole, in order. False when the connection
    // failed.
    virtual bool Send(std::span<const std::string> messages) = 0;

    enum class Status {
        kMessage,     // `message` holds the next one
        kNothingYet,  // none within the wait
        kClosed,      // the server closed the connection
        kBroken,      // the stream can no longer be read (failure, oversized or endless message)
    };
    // Waits at most `waitMs` for the start of the next message, then for the
    // rest of it as long as its framing needs.
    virtual Status Receive(std::string& message, int waitMs) = 0;

    // Looks, without waiting and without sending, whether the server has
    // closed the connection. Whatever arrived meanwhile is kept for Receive.
    virtual bool PeerClosed() = 0;

    // Whether several requests may be in flight at once: only a framed
    // stream says where one reply ends and the next begins.
    virtual bool Pipelines() const = 0;

    // Drops replies that came too late for an exchange that gave up on
    // them, where the stream cannot tell them apart (the plain port).
    // Returns false when the server has closed the connection.
    virtual bool DropStale() = 0;
};

}  // namespace warden::console

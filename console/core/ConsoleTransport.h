// The real transport: one TCP connection to warden-server, GBK on the wire,
// the protocol's framing, and the console's wait for a reply (10 ms waits, at
// most 3000 of them, then "接收数据超时").
//
// Unlike a plain blocking read, a connection that the server has closed is
// noticed at once and reported once; every later request then returns the
// empty reply without waiting. While a reply is awaited the wait observer is
// called, so the window keeps repainting.
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "console/core/ConsoleSocket.h"
#include "console/core/MessageSink.h"
#include "console/core/Transport.h"
#include "console/core/WaitObserver.h"

namespace warden::console {

struct TransportOptions {
    int waitMs = 10;                   // one wait before the first byte of a reply
    int maxWaits = 3000;               // waits before "接收数据超时"
    int connectTimeoutMs = 10'000;     // a host that never answers
    int graceMs = 100;                 // quiet time that ends a reply longer than a piece
    int arrivalMs = 30'000;            // a reply still arriving after this breaks the connection
    size_t maxReplyBytes = 64u << 20;  // a longer reply breaks the connection
};

class ConsoleTransport final : public Transport {
  public:
    explicit ConsoleTransport(MessageSink& sink, TransportOptions options = {});

    // REQUIRES: `waits` outlives the transport or is reset to null first.
    void SetWaitObserver(WaitObserver* waits) { m_waits = waits; }

    // When set, a lost connection is handed to `handler` instead of being
    // shown as a plain message: once when it is noticed, and again at every
    // request made without a connection, so that no window takes the empty
    // reply for real data unannounced. The handler decides how to tell the
    // user. When empty (during the login itself) the loss is a plain message.
    void SetLostHandler(std::function<void()> handler) { m_lostHandler = std::move(handler); }

    // Closes the connection without reporting anything (a re-login that was
    // given up must not leave a connection that is open but not logged in).
    void Disconnect() { m_socket.Close(); }

    bool OpenConnection(std::string_view address, std::string_view port) override;
    std::string SendRequest(std::string_view name, std::string_view params) override;
    bool Busy() const override { return m_busy; }
    bool Connected() const override { return m_socket.IsOpen() && !m_lost; }
    bool CheckConnection() override;

    // Sends `text` (UTF-8) as one message. An empty text sends nothing.
    // Returns false when nothing could be sent.
    bool WriteRequest(std::string_view text);

    // Reads one reply; the empty text when none came.
    std::string ReadReply();

  private:
    // Drops what an earlier, timed-out exchange left unread, so that it is
    // not taken for the next reply. Returns false when the peer has closed.
    bool DiscardStaleInput();
    void MarkLost();

    MessageSink& m_sink;
    TransportOptions m_options;
    WaitObserver* m_waits = nullptr;
    std::function<void()> m_lostHandler;
    ConsoleSocket m_socket;
    bool m_lost = false;
    bool m_busy = false;
};

}  // namespace warden::console

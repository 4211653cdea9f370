// The encrypted port's stream: TLS 1.3 (TlsClient) carrying length-prefixed
// frames (protocol/LengthFraming.h). A reply is whole at its last byte, and
// replies come in the order of the requests, so several requests may be in
// flight.
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <chrono>
#include <memory>

#include "console/core/ConsoleSocket.h"
#include "console/core/MessageStream.h"
#include "console/core/TlsClient.h"
#include "protocol/LengthFraming.h"

namespace warden::console {

class TlsStream final : public MessageStream {
  public:
    // REQUIRES: `socket` is connected.
    TlsStream(ConsoleSocket socket, size_t maxReplyBytes, int stallMs);

    TlsClient& Tls() { return *m_tls; }

    bool Send(std::span<const std::string> messages) override;
    Status Receive(std::string& message, int waitMs) override;
    bool PeerClosed() override;
    bool Pipelines() const override { return true; }
    bool DropStale() override { return !PeerClosed(); }

  private:
    // Decrypts what has arrived into the frame reader, waiting at most
    // `waitMs` when nothing has; notes in m_end when the stream has ended.
    void Fill(int waitMs);

    ConsoleSocket m_socket;
    std::unique_ptr<TlsClient> m_tls;
    LengthFrameReader m_frames;
    int m_stallMs;
    std::chrono::steady_clock::time_point m_lastArrival;  // of the last bytes decrypted
    Status m_end = Status::kNothingYet;  // kClosed or kBroken once the stream has ended
};

}  // namespace warden::console

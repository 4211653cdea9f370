// The plain port's stream: each message as it is, no length and no
// terminator (protocol/Framing.h): a reply ends at its first short read, a
// longer one after a quiet time. One request in flight at a time.
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include "console/core/ConsoleSocket.h"
#include "console/core/MessageStream.h"
#include "protocol/Framing.h"

namespace warden::console {

class PlainStream final : public MessageStream {
  public:
    PlainStream(ConsoleSocket socket, FrameOptions frame)
        : m_socket(std::move(socket)), m_frame(frame) {}

    bool Send(std::span<const std::string> messages) override;
    Status Receive(std::string& message, int waitMs) override;
    bool PeerClosed() override;
    bool Pipelines() const override { return false; }
    bool DropStale() override;

  private:
    ConsoleSocket m_socket;
    FrameOptions m_frame;
};

}  // namespace warden::console

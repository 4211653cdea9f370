#include "server/net/CLogicProcessThread.h"

#include <poll.h>
#include <sys/socket.h>

#include <chrono>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/Replies.h"
#include "protocol/SplitList.h"
#include "server/net/CClientSocket.h"
#include "server/net/ServerEngine.h"

namespace warden {

namespace {

// Replies are built from stored UTF-8 text; a character GBK cannot carry
// (never entered through a console) is sent as the codec's substitute rather
// than losing the reply.
std::string EncodeReply(const std::string& utf8) {
    return Utf8ToGbkSubstituting(utf8);
}

// Closing with unread input makes the kernel reset the connection, which can
// destroy the reply before the console reads it; so stop sending, and drain
// what the console still sends for a moment before the socket closes.
void LingerAndClose(int fd) {
    ::shutdown(fd, SHUT_WR);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    char sink[4096];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        if (::recv(fd, sink, sizeof sink, MSG_DONTWAIT) <= 0) break;
    }
}

}  // namespace

void CLogicProcessThread::Run(ServerEngine& engine, std::shared_ptr<CClientSocket> connection) {
    const int fd = connection->NativeHandle();
    FrameOptions frame;
    frame.maxBytes = engine.m_options.maxRequest;
    frame.graceMs = engine.m_options.graceMs;

    std::string wire;
    switch (ReadMessage(fd, wire, frame)) {
        case FrameStatus::kComplete:
            break;
        case FrameStatus::kTooLarge:
            WriteMessage(fd, EncodeReply(reply::kGeneralError));
            LingerAndClose(fd);
            return;  // the rest of the request is unread: the stream is lost
        case FrameStatus::kClosed:
        case FrameStatus::kError:
            return;  // dropping the last reference closes and frees it
    }

    bool alive = true;
    if (!Trim(wire).empty()) {
        const ReplySink send = [&](const std::string& text) {
            if (!WriteMessage(fd, EncodeReply(text))) alive = false;
        };
        if (auto text = GbkToUtf8(wire)) {
            engine.m_processor(Trim(*text), connection->GetSession(), send);
        } else {
            send(reply::kGeneralError);
        }
    }
    if (alive) engine.Rewatch(connection);
}

}  // namespace warden

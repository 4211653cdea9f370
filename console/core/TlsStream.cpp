#include "console/core/TlsStream.h"

#include <chrono>

namespace warden::console {

namespace {
using Clock = std::chrono::steady_clock;
}

TlsStream::TlsStream(ConsoleSocket socket, size_t maxReplyBytes, int stallMs)
    : m_socket(std::move(socket)),
      m_tls(std::make_unique<TlsClient>(m_socket.Fd())),
      m_frames(maxReplyBytes),
      m_stallMs(stallMs) {}

bool TlsStream::Send(std::span<const std::string> messages) {
    // One write for the lot: a burst of requests costs one record and one
    // system call, not one each.
    std::string frames;
    for (const std::string& message : messages) AppendLengthFrame(frames, message);
    return m_tls->Send(frames, m_stallMs);
}

void TlsStream::Fill(int waitMs) {
    if (m_end != Status::kNothingYet) return;
    std::string bytes;
    switch (m_tls->Receive(bytes, waitMs)) {
        case TlsClient::Received::kSome:
            m_frames.Add(bytes);
            m_lastArrival = Clock::now();
            return;
        case TlsClient::Received::kNothing:
            return;
        case TlsClient::Received::kClosed:
            m_end = Status::kClosed;
            return;
        case TlsClient::Received::kFailed:
            m_end = Status::kBroken;
            return;
    }
}

MessageStream::Status TlsStream::Receive(std::string& message, int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (bool looked = false;; looked = true) {
        switch (m_frames.Next(message)) {
            case LengthFrameReader::State::kMessage:
                return Status::kMessage;
            case LengthFrameReader::State::kTooLarge:
                return Status::kBroken;
            case LengthFrameReader::State::kNeedMore:
                break;
        }
        // A server that closes in the middle of a reply has sent none.
        if (m_end != Status::kNothingYet) return m_end;
        // A reply that has begun is whole the moment its last byte is here;
        // one that stops coming in the middle breaks the stream.
        const bool started = m_frames.InsideMessage();
        const auto until =
            started ? m_lastArrival + std::chrono::milliseconds(m_stallMs) : deadline;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0 && started) return Status::kBroken;
        if (left <= 0 && looked) return Status::kNothingYet;
        Fill(static_cast<int>(std::max<long long>(left, 0)));
    }
}

bool TlsStream::PeerClosed() {
    if (m_end != Status::kNothingYet) return true;
    Fill(0);
    return m_end != Status::kNothingYet;
}

}  // namespace warden::console

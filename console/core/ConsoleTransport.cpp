#include "console/core/ConsoleTransport.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "console/core/ConsoleTexts.h"
#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"

namespace warden::console {

namespace {

// Keeps the busy flag and the observer's begin/end paired on every return.
class WaitScope {
  public:
    WaitScope(bool& busy, WaitObserver* waits) : m_busy(busy), m_waits(waits) {
        m_busy = true;
        if (m_waits != nullptr) m_waits->WaitBegins();
    }
    ~WaitScope() {
        if (m_waits != nullptr) m_waits->WaitEnds();
        m_busy = false;
    }
    WaitScope(const WaitScope&) = delete;
    WaitScope& operator=(const WaitScope&) = delete;

  private:
    bool& m_busy;
    WaitObserver* m_waits;
};

}  // namespace

ConsoleTransport::ConsoleTransport(MessageSink& sink, TransportOptions options)
    : m_sink(sink), m_options(options) {}

bool ConsoleTransport::OpenConnection(std::string_view address, std::string_view port) {
    if (m_busy) return false;
    WaitScope scope(m_busy, m_waits);
    m_lost = false;
    switch (m_socket.Connect(address, port, m_options.connectTimeoutMs, m_waits)) {
        case ConsoleSocket::ConnectResult::kConnected:
            return true;
        case ConsoleSocket::ConnectResult::kNoSocket:
            m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName,
                               text::kCreateSocketFailed);
            return false;
        case ConsoleSocket::ConnectResult::kFailed:
            break;
    }
    m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, text::kConnectFailed);
    return false;
}

std::string ConsoleTransport::SendRequest(std::string_view name, std::string_view params) {
    // A second exchange started from inside the wait of the first one would
    // mix two replies on one stream.
    if (m_busy) return {};
    if (!Connected()) {
        if (m_lostHandler) m_lostHandler();
        return {};
    }
    WaitScope scope(m_busy, m_waits);
    std::string request;
    request.reserve(name.size() + 1 + params.size());
    request.append(name).append("?").append(params);
    if (!DiscardStaleInput()) {
        MarkLost();
        return {};
    }
    if (!WriteRequest(request)) return {};
    return ReadReply();
}

bool ConsoleTransport::WriteRequest(std::string_view text) {
    if (text.empty()) return true;
    if (!Connected()) return false;
    std::optional<std::string> gbk = Utf8ToGbk(text);
    if (!gbk) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kUnsendableText);
        return false;
    }
    if (!WriteMessage(m_socket.Fd(), *gbk)) {
        MarkLost();
        return false;
    }
    return true;
}

std::string ConsoleTransport::ReadReply() {
    if (!Connected()) return {};
    const int fd = m_socket.Fd();
    char piece[kFramePiece];
    ssize_t got = 0;
    for (int waits = 0;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, m_options.waitMs);
        if (ready < 0 && errno != EINTR) {
            MarkLost();
            return {};
        }
        if (ready > 0) {
            got = ::recv(fd, piece, kFramePiece, 0);
            if (got > 0) break;
            if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            MarkLost();  // orderly close (0) or a reset: no reply will ever come
            return {};
        }
        if (ready == 0 && ++waits >= m_options.maxWaits) {
            m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, text::kReceiveTimeout);
            return {};
        }
        if (m_waits != nullptr) m_waits->StillWaiting();
    }

    std::string reply(piece, static_cast<size_t>(got));
    if (static_cast<size_t>(got) == kFramePiece) {
        FrameOptions frame;
        frame.maxBytes = m_options.maxReplyBytes;
        frame.graceMs = m_options.graceMs;
        frame.arrivalMs = m_options.arrivalMs;
        if (ReadRemainder(fd, reply, frame) != FrameStatus::kComplete) {
            // The rest of an oversized or endless reply would be read as the
            // next one.
            MarkLost();
            return {};
        }
    } else if (size_t zero = reply.find('\0'); zero != std::string::npos) {
        reply.resize(zero);
    }

    std::optional<std::string> utf8 = GbkToUtf8(reply);
    if (!utf8) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kUnreadableReply);
        return {};
    }
    return std::move(*utf8);
}

bool ConsoleTransport::CheckConnection() {
    if (!Connected() || m_busy) return Connected();
    char byte = 0;
    ssize_t n = ::recv(m_socket.Fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        m_lost = true;
        m_socket.Close();
    }
    return Connected();
}

bool ConsoleTransport::DiscardStaleInput() {
    const int fd = m_socket.Fd();
    char scratch[kFramePiece];
    for (;;) {
        ssize_t n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

void ConsoleTransport::MarkLost() {
    if (m_lost) return;
    m_lost = true;
    m_socket.Close();
    if (m_lostHandler) {
        m_lostHandler();
    } else {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kConnectionLost);
    }
}

}  // namespace warden::console

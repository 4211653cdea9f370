#include "console/core/ConsoleTransport.h"

#include "console/core/ConsoleTexts.h"
#include "console/core/PlainStream.h"
#include "console/core/TlsStream.h"
#include "protocol/GbkCodec.h"
#include "protocol/Replies.h"

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

std::string RequestText(std::string_view name, std::string_view params) {
    std::string request;
    request.reserve(name.size() + 1 + params.size());
    request.append(name).append("?").append(params);
    return request;
}

}  // namespace

ConsoleTransport::ConsoleTransport(MessageSink& sink, TransportOptions options)
    : m_sink(sink), m_options(options) {}

ConsoleTransport::~ConsoleTransport() = default;

bool ConsoleTransport::OpenConnection(std::string_view address, std::string_view port,
                                      WireSecurity security) {
    if (m_busy) return false;
    Disconnect();
    std::unique_ptr<TlsStream> tls;
    {
        WaitScope scope(m_busy, m_waits);
        ConsoleSocket socket;
        switch (socket.Connect(address, port, m_options.connectTimeoutMs, m_waits)) {
            case ConsoleSocket::ConnectResult::kConnected:
                break;
            case ConsoleSocket::ConnectResult::kNoSocket:
                m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName,
                                   text::kCreateSocketFailed);
                return false;
            case ConsoleSocket::ConnectResult::kFailed:
                m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, text::kConnectFailed);
                return false;
        }
        if (security == WireSecurity::kPlain) {
            FrameOptions frame;
            frame.maxBytes = m_options.maxReplyBytes;
            frame.graceMs = m_options.graceMs;
            frame.arrivalMs = m_options.arrivalMs;
            m_stream = std::make_unique<PlainStream>(std::move(socket), frame);
            m_connection = ConnectionInfo{};
            m_lost = false;
            m_loginEnded = false;
            return true;
        }
        tls = std::make_unique<TlsStream>(std::move(socket), m_options.maxReplyBytes,
                                          m_options.arrivalMs);
        TlsClient::Handshake shaken =
            tls->Tls().Connect(std::string(address), m_options.connectTimeoutMs, m_waits);
        if (shaken != TlsClient::Handshake::kDone) {
            std::string why =
                shaken == TlsClient::Handshake::kTimedOut
                    ? std::string(text::kTlsTimedOut)
                    : std::string(text::kTlsFailed) + "\n(" + tls->Tls().Error() + ")";
            m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, why);
            return false;
        }
    }
    // Judged outside the wait: the judge may ask, and nothing has been sent.
    const PeerCertificate& peer = tls->Tls().Peer();
    const bool accepted =
        m_judge != nullptr ? m_judge->Accept(address, port, peer) : peer.caVerified;
    if (!accepted) {
        if (m_judge == nullptr) {
            m_sink.ShowMessage(MessageIcon::kError, text::kProgramName,
                               text::kCertificateNotVerified);
        }
        return false;
    }
    m_connection = ConnectionInfo{WireSecurity::kTls, tls->Tls().Protocol(), tls->Tls().Cipher(),
                                  peer.fingerprint, peer.caVerified};
    m_stream = std::move(tls);
    m_lost = false;
    m_loginEnded = false;
    return true;
}

std::optional<ConnectionInfo> ConsoleTransport::Connection() const {
    if (!Connected()) return std::nullopt;
    return m_connection;
}

void ConsoleTransport::Disconnect() {
    m_stream.reset();
    GiveUpAwaited();
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
    std::optional<std::string> gbk = Utf8ToGbk(RequestText(name, params));
    if (!gbk) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kUnsendableText);
        return {};
    }
    // What an exchange that gave up left unread must not be taken for this
    // reply; replies that are still awaited are not stale.
    if (m_awaited.empty() && m_unsent.empty() && !m_stream->DropStale()) {
        MarkLost();
        return {};
    }
    m_unsent.push_back(std::move(*gbk));
    if (!FlushPosted(/*lastIsExchange=*/true)) return {};

    for (int waits = 0;;) {
        std::string reply;
        std::optional<Awaited::Owner> owner = ReadNext(m_options.waitMs, reply);
        if (!Connected()) return {};
        if (owner == Awaited::kExchange) {
            if (reply.empty()) {
                m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName,
                                   text::kRequestNotAnswered);
                return {};
            }
            return Decode(reply, /*report=*/true);
        }
        if (owner) continue;  // a reply to an earlier request, kept for its owner
        if (++waits >= m_options.maxWaits) {
            m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName, text::kReceiveTimeout);
            if (m_stream->Pipelines()) {
                // It will still come, after those before it: dropped then.
                for (Awaited& awaited : m_awaited) {
                    if (awaited.owner == Awaited::kExchange) awaited.owner = Awaited::kNobody;
                }
            } else {
                // The plain port cannot tell a late reply from the next one;
                // whatever comes late is dropped before the next request.
                GiveUpAwaited();
            }
            return {};
        }
        if (m_waits != nullptr) m_waits->StillWaiting();
    }
}

bool ConsoleTransport::FlushPosted(bool lastIsExchange) {
    if (m_unsent.empty()) return true;
    const bool sent = m_stream->Send(m_unsent);
    const Clock::time_point now = Clock::now();
    for (size_t i = 0; i < m_unsent.size(); ++i) {
        const bool exchange = lastIsExchange && i + 1 == m_unsent.size();
        m_awaited.push_back({exchange ? Awaited::kExchange : Awaited::kPosted, now});
    }
    m_unsent.clear();
    if (!sent) MarkLost();
    return sent;
}

std::optional<ConsoleTransport::Awaited::Owner> ConsoleTransport::ReadNext(int waitMs,
                                                                           std::string& reply) {
    std::string message;
    switch (m_stream->Receive(message, waitMs)) {
        case MessageStream::Status::kNothingYet:
            return std::nullopt;
        case MessageStream::Status::kClosed:
        case MessageStream::Status::kBroken:
            MarkLost();
            return std::nullopt;
        case MessageStream::Status::kMessage:
            break;
    }
    // A reply nobody waits for any more (plain port, after a time-out).
    if (m_awaited.empty()) return std::nullopt;
    const Awaited::Owner owner = m_awaited.front().owner;
    m_awaited.pop_front();
    if (m_lostHandler && owner != Awaited::kNobody && EndsLogin(message)) {
        // The server ended this connection's login (idle too long, too old,
        // or the password changed elsewhere): nothing more can be done on it,
        // so it goes as a lost connection does, and the handler offers the
        // login again instead of a window showing the text as data.
        if (owner == Awaited::kPosted) m_results.emplace_back();
        m_loginEnded = true;
        MarkLost();
        return std::nullopt;
    }
    if (owner == Awaited::kPosted) {
        m_results.push_back(Decode(message, /*report=*/false));
    } else if (owner == Awaited::kExchange) {
        reply = std::move(message);
    }
    return owner;
}

bool ConsoleTransport::EndsLogin(const std::string& gbk) {
    static const std::string ended = *Utf8ToGbk(reply::kLoginRequired);
    return gbk == ended;
}

void ConsoleTransport::GiveUpAwaited() {
    for (const Awaited& awaited : m_awaited) {
        if (awaited.owner == Awaited::kPosted) m_results.emplace_back();
    }
    for (size_t i = 0; i < m_unsent.size(); ++i) m_results.emplace_back();
    m_unsent.clear();
    m_awaited.clear();
}

std::string ConsoleTransport::Decode(const std::string& gbk, bool report) {
    std::optional<std::string> utf8 = GbkToUtf8(gbk);
    if (utf8) return std::move(*utf8);
    if (report) {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kUnreadableReply);
    }
    return {};
}

bool ConsoleTransport::CheckConnection() {
    if (!Connected() || m_busy) return Connected();
    if (m_stream->PeerClosed()) {
        m_lost = true;
        m_stream.reset();
        GiveUpAwaited();
    }
    return Connected();
}

int ConsoleTransport::PipelineWindow() const {
    return Connected() && m_stream->Pipelines() ? m_options.pipelineWindow : 1;
}

bool ConsoleTransport::PostRequest(std::string_view name, std::string_view params) {
    if (m_busy || !Connected()) return false;
    std::optional<std::string> gbk = Utf8ToGbk(RequestText(name, params));
    if (!gbk) return false;
    m_unsent.push_back(std::move(*gbk));
    ++m_posted;
    return true;
}

std::optional<std::string> ConsoleTransport::TakeReply(int waitMs) {
    if (m_posted == 0 || m_busy) return std::nullopt;
    if (Connected() && FlushPosted(/*lastIsExchange=*/false) && m_results.empty()) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        const auto patience = std::chrono::milliseconds(m_options.waitMs) * m_options.maxWaits;
        while (m_results.empty() && Connected()) {
            if (!m_awaited.empty() && m_awaited.front().owner == Awaited::kPosted &&
                Clock::now() - m_awaited.front().sentAt > patience) {
                m_sink.ShowMessage(MessageIcon::kWarning, text::kProgramName,
                                   text::kReceiveTimeout);
                GiveUpAwaited();
                break;
            }
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            std::string unused;
            if (!ReadNext(static_cast<int>(std::max<long long>(left.count(), 0)), unused) &&
                left.count() <= 0) {
                break;
            }
        }
    }
    if (m_results.empty()) return std::nullopt;
    std::string result = std::move(m_results.front());
    m_results.pop_front();
    --m_posted;
    return result;
}

void ConsoleTransport::AbandonPosted() {
    m_unsent.clear();
    m_results.clear();
    for (Awaited& awaited : m_awaited) {
        if (awaited.owner == Awaited::kPosted) awaited.owner = Awaited::kNobody;
    }
    m_posted = 0;
}

void ConsoleTransport::MarkLost() {
    if (m_lost) return;
    m_lost = true;
    m_stream.reset();
    GiveUpAwaited();
    if (m_lostHandler) {
        m_lostHandler();
    } else {
        m_sink.ShowMessage(MessageIcon::kError, text::kCaptionError, text::kConnectionLost);
    }
}

}  // namespace warden::console

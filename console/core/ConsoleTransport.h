// The real transport: one connection to warden-server, over TLS with
// length-prefixed frames (the default) or over the plain port with its
// inherited framing; GBK on the wire; and the console's wait for a reply (10
// ms waits, at most 3000 of them, then "接收数据超时").
//
// A connection that the server has closed is noticed at once and reported
// once; every later request then returns the empty reply without waiting.
// While a reply is awaited the wait observer is called, so the window keeps
// repainting. Over TLS several requests may be in flight (see Transport):
// the transport keeps, in order, which reply belongs to whom, so a reply
// that comes late is dropped instead of being taken for the next one's.
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/CertificateJudge.h"
#include "console/core/MessageSink.h"
#include "console/core/MessageStream.h"
#include "console/core/Transport.h"
#include "console/core/WaitObserver.h"

namespace warden::console {

struct TransportOptions {
    int waitMs = 10;                   // one wait before the first byte of a reply
    int maxWaits = 3000;               // waits before "接收数据超时"
    int connectTimeoutMs = 10'000;     // a host that never answers, or never finishes TLS
    int graceMs = 100;                 // quiet time that ends a plain reply longer than a piece
    int arrivalMs = 30'000;            // a reply still arriving after this breaks the connection
    size_t maxReplyBytes = 64u << 20;  // a longer reply breaks the connection
    int pipelineWindow = 64;           // requests in flight at once over TLS
};

class ConsoleTransport final : public Transport {
  public:
    explicit ConsoleTransport(MessageSink& sink, TransportOptions options = {});
    ~ConsoleTransport() override;

    // REQUIRES: `waits` outlives the transport or is reset to null first.
    void SetWaitObserver(WaitObserver* waits) { m_waits = waits; }

    // Who decides on a server's certificate. Without one only a certificate
    // that the system's CA store validates is accepted.
    // REQUIRES: `judge` outlives the transport or is reset to null first.
    void SetCertificateJudge(CertificateJudge* judge) { m_judge = judge; }

    // When set, a lost connection is handed to `handler` instead of being
    // shown as a plain message: once when it is noticed, and again at every
    // request made without a connection, so that no window takes the empty
    // reply for real data unannounced. The handler decides how to tell the
    // user. When empty (during the login itself) the loss is a plain message.
    // While it is set, the reply "error:请先登录" means that the server ended
    // the login: the connection is closed and goes to the handler as a loss,
    // and the request gets the empty reply.
    void SetLostHandler(std::function<void()> handler) { m_lostHandler = std::move(handler); }
    // The last loss was the server ending the login, not the connection
    // breaking (until the next connection).
    bool LoginEnded() const { return m_loginEnded; }

    // Closes the connection without reporting anything (a re-login that was
    // given up must not leave a connection that is open but not logged in).
    void Disconnect();

    bool OpenConnection(std::string_view address, std::string_view port,
                        WireSecurity security) override;
    std::string SendRequest(std::string_view name, std::string_view params) override;
    bool Busy() const override { return m_busy; }
    bool Connected() const override { return m_stream != nullptr && !m_lost; }
    bool CheckConnection() override;
    std::optional<ConnectionInfo> Connection() const override;

    int PipelineWindow() const override;
    bool PostRequest(std::string_view name, std::string_view params) override;
    int Posted() const override { return m_posted; }
    std::optional<std::string> TakeReply(int waitMs) override;
    void AbandonPosted() override;

  private:
    using Clock = std::chrono::steady_clock;
    // A reply still to come, in the order of the requests.
    struct Awaited {
        enum Owner { kPosted, kExchange, kNobody } owner;
        Clock::time_point sentAt;
    };

    // Sends the requests not yet sent (the last one an exchange's when
    // `lastIsExchange`); false when the connection failed.
    bool FlushPosted(bool lastIsExchange);
    // Reads one reply within `waitMs` and hands it to its owner; returns the
    // owner, or nullopt when none came (or the connection was lost).
    std::optional<Awaited::Owner> ReadNext(int waitMs, std::string& reply);
    // A reply the server will not send after all: posted requests get the
    // empty result, an exchange's is given up.
    void GiveUpAwaited();
    std::string Decode(const std::string& gbk, bool report);
    static bool EndsLogin(const std::string& gbk);
    void MarkLost();

    MessageSink& m_sink;
    TransportOptions m_options;
    WaitObserver* m_waits = nullptr;
    CertificateJudge* m_judge = nullptr;
    std::function<void()> m_lostHandler;
    std::unique_ptr<MessageStream> m_stream;
    ConnectionInfo m_connection;  // of m_stream
    bool m_lost = false;
    bool m_loginEnded = false;
    bool m_busy = false;

    std::deque<Awaited> m_awaited;      // replies still to come, oldest first
    std::vector<std::string> m_unsent;  // requests (GBK) not yet written
    std::deque<std::string> m_results;  // results of posted requests not yet taken
    int m_posted = 0;                   // posted requests whose results are not taken
};

}  // namespace warden::console

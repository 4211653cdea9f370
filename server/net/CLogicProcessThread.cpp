#include "server/net/CLogicProcessThread.h"

#include <atomic>

#include "protocol/Replies.h"
#include "protocol/SplitList.h"
#include "server/net/CClientSocket.h"
#include "server/net/ReplyWire.h"
#include "server/net/ServerEngine.h"

namespace warden {

namespace {

// The one answer of one request, shared by every copy of its reply sink.
class PendingReply {
  public:
    explicit PendingReply(std::shared_ptr<CClientSocket> connection)
        : m_connection(std::move(connection)) {}

    // A request whose sink was dropped unanswered would leave its console
    // waiting and its connection unread for ever.
    ~PendingReply() { Answer(GeneralErrorWire()); }

    PendingReply(const PendingReply&) = delete;
    PendingReply& operator=(const PendingReply&) = delete;

    void Send(const std::string& text) noexcept {
        if (!m_answered.exchange(true)) m_connection->Complete(EncodeReply(text));
    }

  private:
    void Answer(const std::string& wire) noexcept {
        if (m_answered.exchange(true)) return;
        try {
            m_connection->Complete(wire);
        } catch (...) {
            m_connection->Complete({});
        }
    }

    std::shared_ptr<CClientSocket> m_connection;
    std::atomic<bool> m_answered{false};
};

}  // namespace

void CLogicProcessThread::Run(ServerEngine& engine, std::shared_ptr<CClientSocket> connection,
                              std::string text) noexcept {
    Session& session = connection->GetSession();
    std::shared_ptr<PendingReply> pending;
    try {
        pending = std::make_shared<PendingReply>(std::move(connection));
    } catch (...) {
        connection->Complete({});  // no memory even to answer: the connection reads on
        return;
    }
    try {
        const ReplySink sink = [pending](const std::string& reply) { pending->Send(reply); };
        engine.m_processor(Trim(text), session, sink);
    } catch (...) {
        // Ignored when the processor had already answered.
        pending->Send(reply::kGeneralError);
    }
}

}  // namespace warden

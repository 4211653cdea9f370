// The console's one channel to the server: a request out, its whole reply
// back; or several requests out ahead of their replies. Every window talks to
// the server only through this interface, so a test can put a scripted fake
// in its place.
//
// Thread-safety: none. Used from the user-interface thread only.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace warden::console {

// How the connection is carried: TLS (the default), or plain text for a
// server that offers nothing else, on the administrator's explicit choice.
enum class WireSecurity { kTls, kPlain };

// What carries an open connection, as the transport found it.
struct ConnectionInfo {
    WireSecurity security = WireSecurity::kPlain;
    // Over TLS: what the handshake agreed on ("TLSv1.3",
    // "TLS_AES_256_GCM_SHA384"), the server certificate's SHA-256
    // fingerprint, and whether the system's CA store vouches for it (if not,
    // the administrator accepted it).
    std::string protocol;
    std::string cipher;
    std::string fingerprint;
    bool caVerified = false;
};

class Transport {
  public:
    virtual ~Transport() = default;

    // Makes a new connection to `address`:`port` that replaces the current
    // one. Reports its own failures to the user; returns whether it worked.
    // Over TLS, the server's certificate is judged before anything is sent.
    virtual bool OpenConnection(std::string_view address, std::string_view port,
                                WireSecurity security) = 0;

    // One exchange: sends `name` "?" `params` and returns the reply. Texts are
    // UTF-8. The empty text means that no reply came (time-out, lost
    // connection, a request the server does not answer, or a request made
    // while another one is still waiting); the server never sends an empty
    // reply.
    virtual std::string SendRequest(std::string_view name, std::string_view params) = 0;

    // True while an exchange waits for its reply. Events are still processed
    // during that wait, so code run from a timer must check this first.
    virtual bool Busy() const = 0;

    // True while a connection is open and not known to be lost.
    virtual bool Connected() const = 0;

    // Notices, without sending anything and without telling anyone, a
    // connection that the server has closed since the last exchange; then
    // returns Connected(). Windows call it before an action, so that a dead
    // connection is reported before a dialog opens with nothing in it.
    virtual bool CheckConnection() = 0;

    // What carries the open connection; nullopt without one.
    virtual std::optional<ConnectionInfo> Connection() const = 0;

    // --- pipelining ----------------------------------------------------------
    // Requests posted ahead of their replies cost one round trip for a burst
    // instead of one each. Every posted request gets exactly one result from
    // TakeReply, in the order posted: its reply, or the empty text when none
    // will come (lost connection, no reply in time); until AbandonPosted.
    // SendRequest may be used meanwhile: its reply comes after theirs.

    // How many posted requests may await their results at once: 1 where the
    // connection carries one request at a time (the plain port).
    virtual int PipelineWindow() const = 0;
    // False when the request was not, and will not be, sent: busy, no
    // connection, or text that GBK cannot carry. Shows nothing.
    // REQUIRES: Posted() < PipelineWindow().
    virtual bool PostRequest(std::string_view name, std::string_view params) = 0;
    // Posted requests whose results have not been taken yet.
    virtual int Posted() const = 0;
    // The result of the oldest posted request, waiting at most `waitMs` for
    // it (without handling events); nullopt while it has not come.
    virtual std::optional<std::string> TakeReply(int waitMs) = 0;
    // Gives up every posted request: replies still to come are dropped.
    virtual void AbandonPosted() = 0;
};

}  // namespace warden::console

// The console's one channel to the server: a request out, its whole reply
// back. Every window talks to the server only through this interface, so a
// test can put a scripted fake in its place.
//
// Thread-safety: none. Used from the user-interface thread only.
#pragma once

#include <string>
#include <string_view>

namespace warden::console {

class Transport {
  public:
    virtual ~Transport() = default;

    // Makes a new connection to `address`:`port` that replaces the current
    // one. Reports its own failures to the user; returns whether it worked.
    virtual bool OpenConnection(std::string_view address, std::string_view port) = 0;

    // One exchange: sends `name` "?" `params` and returns the reply. Texts are
    // UTF-8. The empty text means that no reply came (time-out, lost
    // connection, or a request made while another one is still waiting); the
    // server never sends an empty reply.
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

    // How the connection is carried, as the main window's status bar names
    // it: the plain port's text travels unencrypted.
    virtual std::string ConnectionKind() const { return "明文, 未加密"; }
};

}  // namespace warden::console

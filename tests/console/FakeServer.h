// A scripted server on a loopback port, for testing the console's transport
// on a real TCP stream: it reads requests with the protocol's framing and
// answers each as the script says (a reply, silence, a delayed reply, raw
// bytes, or closing the connection). Plain, or TLS 1.3 with length-prefixed
// frames when given a certificate, as the server's two ports are.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestCertificates.h"

namespace warden::console::test {

class FakeServer {
  public:
    struct Action {
        enum Kind { kReply, kSilent, kClose } kind = kSilent;
        std::string bytes;       // as sent on the wire (inside TLS: framed unless raw)
        int delayMs = 0;         // before sending
        bool raw = false;        // inside TLS: the bytes without a frame around them
        bool thenClose = false;  // closes the connection after sending
    };
    static Action Reply(const std::string& utf8, int delayMs = 0);  // sent in GBK
    static Action Raw(std::string bytes);
    static Action Silent() { return {}; }
    static Action Close() { return {Action::kClose, {}, 0}; }

    using Script = std::function<Action(const std::string& request)>;
    // Plain when `tls` is null.
    explicit FakeServer(Script script, const warden::test::TestIdentity* tls = nullptr);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int Port() const { return m_port; }
    // The requests received so far, decoded from GBK.
    std::vector<std::string> Requests();
    // Closes every accepted connection (the listener stays open).
    void CloseClients();
    // Connections accepted from now on present `identity` (TLS only).
    void UseIdentity(const warden::test::TestIdentity& identity);

  private:
    struct Client;
    void Run();
    // Reads what `client` sent and answers its whole requests; false when it
    // is to be closed.
    bool Serve(Client& client);

    Script m_script;
    bool m_tls;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closeClients{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    warden::test::TestIdentity m_identity;  // guarded by m_mutex
    std::thread m_thread;
};

}  // namespace warden::console::test

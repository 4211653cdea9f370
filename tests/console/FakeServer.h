// A scripted server on a loopback port, for testing the console's transport
// on a real TCP stream: it reads requests with the protocol's framing and
// answers each as the script says (a reply, silence, a delayed reply, raw
// bytes, or closing the connection).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace warden::console::test {

class FakeServer {
  public:
    struct Action {
        enum Kind { kReply, kSilent, kClose } kind = kSilent;
        std::string bytes;  // as sent on the wire
        int delayMs = 0;    // before sending
    };
    static Action Reply(const std::string& utf8, int delayMs = 0);  // sent in GBK
    static Action Raw(std::string bytes);
    static Action Silent() { return {}; }
    static Action Close() { return {Action::kClose, {}, 0}; }

    using Script = std::function<Action(const std::string& request)>;
    explicit FakeServer(Script script);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int Port() const { return m_port; }
    // The requests received so far, decoded from GBK.
    std::vector<std::string> Requests();
    // Closes every accepted connection (the listener stays open).
    void CloseClients();

  private:
    void Run();

    Script m_script;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_closeClients{false};
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

}  // namespace warden::console::test

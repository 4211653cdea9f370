// The physical baseline: the smallest server that speaks the same framing.
// It answers every message with the message itself, a thread per connection,
// no parsing and no back-end.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

namespace warden::bench {

class EchoServer {
  public:
    EchoServer();  // listens on an ephemeral loopback port
    ~EchoServer();
    int Port() const { return m_port; }

  private:
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_acceptor;
    std::vector<std::thread> m_connections;
};

}  // namespace warden::bench

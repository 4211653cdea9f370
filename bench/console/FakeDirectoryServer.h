// A stand-in for warden-server that answers the console's login and
// directory requests from a DemoDirectory, with the real wire format: GBK,
// the 1024-byte framing, name lists joined by ",", " " for nothing, and the
// nine-field user record. Serves any number of connections on one thread.
//
// Thread-safety: the server runs on its own thread; the directory must not be
// changed by anyone else while it runs.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "bench/console/DemoDirectory.h"

namespace warden::bench {

class FakeDirectoryServer {
  public:
    // Listens on 127.0.0.1:`port` (0 for any free port).
    FakeDirectoryServer(DemoDirectory directory, int port);
    ~FakeDirectoryServer();
    FakeDirectoryServer(const FakeDirectoryServer&) = delete;
    FakeDirectoryServer& operator=(const FakeDirectoryServer&) = delete;

    int Port() const { return m_port; }
    // The reply to one request text (UTF-8); empty for no reply.
    std::string Answer(const std::string& request);

  private:
    void Run();

    DemoDirectory m_dir;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace warden::bench

// A warden-server process for the crash checker: started headless on a base
// directory and a free loopback port, killed without warning, started again.
// The checker's consoles talk to it through bench::WireClient.
//
// Thread-safety: a ServerRun belongs to the checker's main thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace warden::bench {

class ServerRun {
  public:
    // Starts `program` --headless --base-dir `baseDir` with its standard
    // error appended to `log`; waits up to `wait` for it to listen.
    ServerRun(const std::filesystem::path& program, const std::filesystem::path& baseDir,
              const std::filesystem::path& log, std::chrono::seconds wait);
    ~ServerRun();  // kills the process if it still runs
    ServerRun(const ServerRun&) = delete;
    ServerRun& operator=(const ServerRun&) = delete;

    // 0 when the server did not come up (see Problem()).
    int Port() const { return m_port; }
    const std::string& Problem() const { return m_problem; }

    // kill -9, and waits for the process to be gone.
    void Kill();
    // SIGTERM, and waits; the exit status (or -signal).
    int Stop();

  private:
    int Reap(int signal);

    int m_pid = -1;
    int m_port = 0;
    std::string m_problem;
};

}  // namespace warden::bench

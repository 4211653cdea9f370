// Runs the real warden-server --headless in a temporary base directory on an
// ephemeral loopback port, for end-to-end tests; and a console-like client
// that talks to it in GBK with the protocol's framing.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace warden::test {

class ServerProcess {
  public:
    // `serverCfgExtra` is appended to the generated server.cfg (which sets
    // [LISTEN_PORT] PORT=0 and [TLS] PORT=0). `prepare` may fill the base
    // directory first.
    // `maxDescriptors` > 0 starts the server under that descriptor limit.
    // `program`: another build's warden-server (for benchmarks); empty: the
    // one built beside the tests.
    explicit ServerProcess(const std::string& serverCfgExtra = "",
                           const std::filesystem::path& baseDir = {}, int maxDescriptors = 0,
                           const std::filesystem::path& program = {});
    ~ServerProcess();  // SIGTERM, then waits
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // False when the server exited during start-up; ExitCode() then tells.
    bool Started() const { return m_tlsPort != 0; }
    // The plain port; 0 when it is off ([LISTEN_PORT] PLAINTEXT=0).
    int Port() const { return m_port; }
    int TlsPort() const { return m_tlsPort; }
    const std::filesystem::path& BaseDir() const { return m_baseDir; }
    // Everything the server wrote to stderr so far.
    std::string ErrorOutput();

    // Sends SIGTERM and waits; returns the exit status (or -signal).
    int Stop();
    int ExitCode() const { return m_exitCode; }
    int Pid() const { return m_pid; }
    // False once the process has ended, whatever the reason.
    bool Running();
    // Processor time (user and system) the process has used so far.
    std::chrono::milliseconds CpuTime() const;

  private:
    void ReadErrorsFor(std::chrono::milliseconds timeout);

    std::filesystem::path m_baseDir;
    bool m_ownsBaseDir = false;
    int m_pid = -1;
    int m_errFd = -1;
    int m_port = 0;
    int m_tlsPort = 0;
    int m_exitCode = -1;
    std::string m_errors;
};

// One console connection.
class Client {
  public:
    // `from`: the loopback address to connect from (127.0.0.1 when empty),
    // so that tests can play consoles on other addresses.
    explicit Client(int port, const std::string& from = {});
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connected() const { return m_fd >= 0; }
    // Sends `request` (UTF-8, encoded to GBK) and returns the reply (decoded),
    // or nullopt when none arrives within `wait` (as long as a console waits:
    // a loaded machine can take seconds over logins that hash passwords).
    std::optional<std::string> Ask(const std::string& request,
                                   std::chrono::milliseconds wait = std::chrono::seconds(30));
    // Sends raw bytes and reads raw bytes back, without any codec.
    std::optional<std::string> AskRaw(const std::string& bytes,
                                      std::chrono::milliseconds wait = std::chrono::seconds(30));
    // Logs in as the super administrator (password "admin" by default).
    bool LoginAsAdmin(const std::string& password = "admin");
    int Fd() const { return m_fd; }

  private:
    int m_fd = -1;
};

struct RunResult {
    int exitCode = -1;
    std::string errors;
    std::string output;  // standard output
};

// Runs `program` with `args` to its end, feeding `input` on standard input (a
// pipe, so not a terminal), and collects its standard error and output.
RunResult RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::string& input = "");

// `utf8` in GBK; throws when GBK cannot carry it.
std::string Gbk(const std::string& utf8);

// The folder holding the built programs (set by the build).
std::filesystem::path BinaryDir();

// Writes `text` as the server.cfg `file`, readable by its owner only, as a
// site keeps a file that may hold passwords (the server refuses others).
void WriteServerConfig(const std::filesystem::path& file, const std::string& text);

}  // namespace warden::test

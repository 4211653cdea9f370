// Small pieces shared by the robustness tools in bench/: a loopback
// connection that speaks the console protocol in GBK, and a look at a running
// server process (its descriptors, memory and processor time).
//
// Thread-safety: a WireClient belongs to one thread; ServerProbe is stateless.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/TlsLink.h"

namespace warden::bench {

class WireClient {
  public:
    // Connects to 127.0.0.1:`port`, with `tls` to the TLS port (a message
    // is then a frame inside TLS); Connected() tells whether it worked.
    explicit WireClient(int port, bool tls = false);
    ~WireClient();
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;
    WireClient(WireClient&& other) noexcept;
    WireClient& operator=(WireClient&& other) noexcept;

    bool Connected() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Close();

    // Sends GBK `bytes` as one message; false when the connection failed.
    bool Send(const std::string& bytes);
    // Sends `bytes` as they are, without a frame on the TLS port.
    bool SendRaw(const std::string& bytes);
    // Reads one reply within `wait`; nullopt when none came or the server
    // closed (Closed() then tells which).
    std::optional<std::string> Read(std::chrono::milliseconds wait);
    std::optional<std::string> Ask(const std::string& bytes, std::chrono::milliseconds wait);
    // Asks in UTF-8 and returns the reply in UTF-8.
    std::optional<std::string> AskText(const std::string& utf8,
                                       std::chrono::milliseconds wait = std::chrono::seconds(10));
    bool Login(const std::string& password);
    bool Closed() const { return m_closed; }

  private:
    bool Failed();

    int m_fd = -1;
    std::unique_ptr<TlsLink> m_tls;
    bool m_closed = false;
};

// Facts about a server process read from /proc; zero when unknown.
struct ServerProbe {
    int pid = 0;
    size_t Descriptors() const;
    size_t RssKiB() const;
    std::chrono::milliseconds CpuTime() const;
    bool Alive() const;
};

// `utf8` in GBK, or the empty text when GBK cannot carry it.
std::string ToGbk(const std::string& utf8);

// Percentile `p` (0..100) of `values` (sorted in place); 0 when empty.
double Percentile(std::vector<double>& values, double p);

}  // namespace warden::bench

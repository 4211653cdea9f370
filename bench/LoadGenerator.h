// Drives a server that speaks the console protocol: N connections, each
// sending one request and waiting for its whole reply, for a fixed time.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "bench/TlsLink.h"

namespace warden::bench {

struct LoadResult {
    size_t requests = 0;
    size_t failures = 0;  // no reply, or a different reply than the first one
    double seconds = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    // From the request's first byte sent to the reply's last byte received:
    // what the server controls. The latencies above also hold the reader's
    // quiet wait that ends a reply longer than one piece.
    double lastByteP50Ms = 0;
    double lastByteP99Ms = 0;
    size_t replyBytes = 0;  // of the first reply
    double Throughput() const { return seconds > 0 ? requests / seconds : 0; }
};

struct LoadSpec {
    int port = 0;
    bool tls = false;                // the port is the TLS port: frames inside TLS
    std::string request;             // GBK bytes as sent
    std::vector<std::string> setup;  // sent once per connection first (e.g. a login)
    size_t connections = 1;
    std::chrono::milliseconds duration{3000};
};

// spec.connections connections to spec.port, each through the setup steps,
// closed when the object goes. Throws when a connection cannot be made.
class Connections {
  public:
    explicit Connections(const LoadSpec& spec);
    ~Connections();
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;
    size_t Size() const { return m_fds.size(); }
    // One request of connection `i` and its whole reply.
    bool Exchange(size_t i, const std::string& request, std::string& reply,
                  TlsLink::Clock::time_point* lastByte = nullptr) const;

  private:
    std::vector<int> m_fds;
    std::vector<std::unique_ptr<TlsLink>> m_tls;  // for the TLS port, one per connection
};

// Sends spec.request on every connection, each waiting for its whole reply,
// for spec.duration.
LoadResult RunLoad(const LoadSpec& spec, const Connections& connections);
// The same on connections made for this run alone.
LoadResult RunLoad(const LoadSpec& spec);

// One connection of `spec`: its setup steps, then the request once.
// `setupReply` gets the reply to the last setup step. False when a reply
// does not come.
bool ExchangeOnce(const LoadSpec& spec, std::string& setupReply, std::string& reply);

}  // namespace warden::bench

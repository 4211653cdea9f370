// The console's TCP connection to the server: a socket that closes itself,
// and the connection attempt. Reading and writing messages is the
// transport's business (ConsoleTransport).
//
// Thread-safety: none; one owner on the user-interface thread.
#pragma once

#include <string_view>
#include <utility>

#include "console/core/WaitObserver.h"

namespace warden::console {

// The port number from the leading decimal digits of `text`, after optional
// blanks and a sign; 0 when there are none. Values beyond any port are kept
// as they are so that the caller can refuse them.
long ParsePortText(std::string_view text);

// True for a full dotted IPv4 address ("192.168.0.5": four decimal parts of
// at most 255) or a host name (labels of letters, digits and "-", at most
// 253 characters). Partial or other numeric forms ("192.168.1", "0x7f.1"),
// which the system's resolver would quietly turn into some other address,
// are neither.
bool IsServerAddress(std::string_view address);

class ConsoleSocket {
  public:
    enum class ConnectResult { kConnected, kNoSocket, kFailed };

    ConsoleSocket() = default;
    ~ConsoleSocket() { Close(); }
    ConsoleSocket(const ConsoleSocket&) = delete;
    ConsoleSocket& operator=(const ConsoleSocket&) = delete;
    ConsoleSocket(ConsoleSocket&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    ConsoleSocket& operator=(ConsoleSocket&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }

    // Closes any previous connection, then connects to the IPv4 `address`
    // (see IsServerAddress; anything else fails) and `port`. Gives up after `timeoutMs`; calls
    // `waits` (may be null) about every 10 ms while the attempt lasts.
    ConnectResult Connect(std::string_view address, std::string_view port, int timeoutMs,
                          WaitObserver* waits);

    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

  private:
    int m_fd = -1;
};

}  // namespace warden::console

// A connected pair of TCP sockets on loopback, for tests that need a real
// stream rather than a fake one.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace warden::test {

struct LoopbackPair {
    int client = -1;
    int server = -1;

    LoopbackPair() {
        int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(listener, 1) != 0 ||
            ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            throw std::runtime_error("loopback listener");
        }
        client = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(client, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
            throw std::runtime_error("loopback connect");
        }
        server = ::accept(listener, nullptr, nullptr);
        ::close(listener);
    }
    ~LoopbackPair() {
        if (client >= 0) ::close(client);
        if (server >= 0) ::close(server);
    }
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;
};

}  // namespace warden::test

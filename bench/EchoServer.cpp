#include "bench/EchoServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "protocol/Framing.h"

namespace warden::bench {

EchoServer::EchoServer() {
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(m_listener, 5) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("echo server cannot listen");
    }
    m_port = ntohs(addr.sin_port);
    m_acceptor = std::thread([this] {
        for (;;) {
            int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0 || m_stop) {
                if (fd >= 0) ::close(fd);
                return;
            }
            m_connections.emplace_back([fd] {
                std::string message;
                while (ReadMessage(fd, message) == FrameStatus::kComplete) {
                    if (!WriteMessage(fd, message)) break;
                }
                ::close(fd);
            });
        }
    });
}

EchoServer::~EchoServer() {
    m_stop = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_acceptor.join();
    for (auto& t : m_connections) t.join();
}

}  // namespace warden::bench

#include "tests/console/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"

namespace warden::console::test {

FakeServer::Action FakeServer::Reply(const std::string& utf8, int delayMs) {
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("reply not encodable in GBK");
    return {Action::kReply, *gbk, delayMs};
}

FakeServer::Action FakeServer::Raw(std::string bytes) {
    return {Action::kReply, std::move(bytes), 0};
}

FakeServer::FakeServer(Script script) : m_script(std::move(script)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe(m_wake) != 0) {
        throw std::runtime_error("fake server cannot listen");
    }
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
    m_stop = true;
    char byte = 0;
    (void)!::write(m_wake[1], &byte, 1);
    m_thread.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

std::vector<std::string> FakeServer::Requests() {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void FakeServer::CloseClients() {
    m_closeClients = true;
    char byte = 0;
    (void)!::write(m_wake[1], &byte, 1);
    while (m_closeClients) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void FakeServer::Run() {
    std::vector<int> clients;
    auto closeAll = [&] {
        for (int fd : clients) ::close(fd);
        clients.clear();
    };
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        for (int fd : clients) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[1].revents != 0) {
            char drain[16];
            (void)!::read(m_wake[0], drain, sizeof drain);
            if (m_closeClients) {
                closeAll();
                m_closeClients = false;
            }
            continue;
        }
        if (fds[0].revents != 0) {
            int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) clients.push_back(fd);
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            int fd = fds[i].fd;
            std::string request;
            FrameStatus status = ReadMessage(fd, request);
            if (status != FrameStatus::kComplete) {
                ::close(fd);
                std::erase(clients, fd);
                continue;
            }
            std::string text = GbkToUtf8(request).value_or("<not GBK>");
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(text);
            }
            Action action = m_script(text);
            if (action.delayMs > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(action.delayMs));
            }
            if (action.kind == Action::kReply) {
                WriteMessage(fd, action.bytes);
            } else if (action.kind == Action::kClose) {
                ::close(fd);
                std::erase(clients, fd);
            }
        }
    }
    closeAll();
}

}  // namespace warden::console::test

#include "tests/console/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <stdexcept>

#include "protocol/Framing.h"
#include "protocol/GbkCodec.h"
#include "protocol/LengthFraming.h"

namespace warden::console::test {

// One accepted connection; `ssl` is null on the plain port.
struct FakeServer::Client {
    int fd = -1;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    LengthFrameReader frames{1 << 20};

    ~Client() {
        if (ssl != nullptr) SSL_shutdown(ssl);
        SSL_free(ssl);
        SSL_CTX_free(context);
        ::close(fd);
    }

    // Accepts TLS 1.3 with `identity`; false when the handshake failed.
    bool Handshake(const warden::test::TestIdentity& identity) {
        context = SSL_CTX_new(TLS_server_method());
        SSL_CTX_set_min_proto_version(context, TLS1_3_VERSION);
        BIO* certificate = BIO_new_mem_buf(identity.certificatePem.data(),
                                           static_cast<int>(identity.certificatePem.size()));
        BIO* key =
            BIO_new_mem_buf(identity.keyPem.data(), static_cast<int>(identity.keyPem.size()));
        X509* x509 = PEM_read_bio_X509(certificate, nullptr, nullptr, nullptr);
        EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key, nullptr, nullptr, nullptr);
        SSL_CTX_use_certificate(context, x509);
        SSL_CTX_use_PrivateKey(context, pkey);
        X509_free(x509);
        EVP_PKEY_free(pkey);
        BIO_free(certificate);
        BIO_free(key);
        ssl = SSL_new(context);
        SSL_set_fd(ssl, fd);
        return SSL_accept(ssl) == 1;
    }

    bool Write(const std::string& bytes) {
        if (ssl == nullptr) return WriteMessage(fd, bytes);
        size_t written = 0;
        return bytes.empty() || SSL_write_ex(ssl, bytes.data(), bytes.size(), &written) == 1;
    }
};

FakeServer::Action FakeServer::Reply(const std::string& utf8, int delayMs) {
    std::optional<std::string> gbk = Utf8ToGbk(utf8);
    if (!gbk) throw std::runtime_error("reply not encodable in GBK");
    return {Action::kReply, *gbk, delayMs};
}

FakeServer::Action FakeServer::Raw(std::string bytes) {
    return {Action::kReply, std::move(bytes), 0, true};
}

FakeServer::FakeServer(Script script, const warden::test::TestIdentity* tls)
    : m_script(std::move(script)), m_tls(tls != nullptr) {
    if (tls != nullptr) m_identity = *tls;
    // OpenSSL writes with write(): a console that hangs up during the
    // handshake (as a refused certificate makes it do) must not end the test.
    std::signal(SIGPIPE, SIG_IGN);
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

void FakeServer::UseIdentity(const warden::test::TestIdentity& identity) {
    std::lock_guard lock(m_mutex);
    m_identity = identity;
}

void FakeServer::CloseClients() {
    m_closeClients = true;
    char byte = 0;
    (void)!::write(m_wake[1], &byte, 1);
    while (m_closeClients) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool FakeServer::Serve(Client& client) {
    std::vector<std::string> requests;
    if (client.ssl == nullptr) {
        std::string request;
        if (ReadMessage(client.fd, request) != FrameStatus::kComplete) return false;
        requests.push_back(std::move(request));
    } else {
        char buffer[16384];
        do {
            int n = SSL_read(client.ssl, buffer, sizeof buffer);
            if (n <= 0) return false;
            client.frames.Add(std::string_view(buffer, static_cast<size_t>(n)));
        } while (SSL_pending(client.ssl) > 0);
        std::string request;
        while (client.frames.Next(request) == LengthFrameReader::State::kMessage) {
            requests.push_back(request);
        }
    }
    for (const std::string& request : requests) {
        std::string text = GbkToUtf8(request).value_or("<not GBK>");
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(text);
        }
        Action action = m_script(text);
        if (action.delayMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(action.delayMs));
        }
        if (action.kind == Action::kClose) return false;
        if (action.kind != Action::kReply) continue;
        std::string bytes;
        if (client.ssl != nullptr && !action.raw) {
            AppendLengthFrame(bytes, action.bytes);
        } else {
            bytes = std::move(action.bytes);
        }
        if (!client.Write(bytes) || action.thenClose) return false;
    }
    return true;
}

void FakeServer::Run() {
    std::vector<std::unique_ptr<Client>> clients;
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        for (const auto& client : clients) fds.push_back({client->fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[1].revents != 0) {
            char drain[16];
            (void)!::read(m_wake[0], drain, sizeof drain);
            if (m_closeClients) {
                clients.clear();
                m_closeClients = false;
            }
            continue;
        }
        std::vector<Client*> gone;
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents != 0 && !Serve(*clients[i - 2]))
                gone.push_back(clients[i - 2].get());
        }
        std::erase_if(clients,
                      [&](const auto& c) { return std::count(gone.begin(), gone.end(), c.get()); });
        if (fds[0].revents != 0) {
            auto client = std::make_unique<Client>();
            client->fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (client->fd < 0) continue;
            // As a real server does: a small reply after the session tickets
            // must not wait for their acknowledgement.
            int one = 1;
            ::setsockopt(client->fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            warden::test::TestIdentity identity;
            {
                std::lock_guard lock(m_mutex);
                identity = m_identity;
            }
            if (!m_tls || client->Handshake(identity)) clients.push_back(std::move(client));
        }
    }
}

}  // namespace warden::console::test

#include <gtest/gtest.h>

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "protocol/LengthFraming.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsClient.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

std::string FingerprintOf(const std::filesystem::path& base) {
    const RunResult run =
        RunProgram(BinaryDir() / "warden-server", {"--fingerprint", "--base-dir", base.string()});
    return run.exitCode == 0 ? run.output : "exit " + std::to_string(run.exitCode) + run.errors;
}

// True when the server closes the plain socket `fd` within `wait`, whatever
// it sent before.
bool ClosedWithin(int fd, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) return false;
        char buffer[4096];
        if (::recv(fd, buffer, sizeof buffer, 0) <= 0) return true;
    }
}

// What a console does on the TLS port: the rules of the plain port, frames
// whole without a quiet time, a pipelined burst answered in order (an
// unknown request and a blank one with empty frames), a long reply.
TEST(TlsE2eTest, PipelinedFramesAreAnsweredInOrderUnderThePlainPortsRules) {
    ServerProcess server;
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    TlsClient console(server.TlsPort());
    ASSERT_TRUE(console.Connected());
    EXPECT_EQ(console.Ask("GetAdminList.asp"), "error:请先登录");
    ASSERT_TRUE(console.LoginAsAdmin());

    std::vector<std::string> burst, expected;
    for (int i = 0; i < 40; ++i) {
        burst.push_back("DeptAdd.asp?deptid=名字长得足以让列表超过一千字节的部门" +
                        std::to_string(1000 + i) + "`parentdept=");
        expected.push_back("info:添加部门成功");
        if (i % 20 == 0) {
            burst.push_back("NoSuchRequest.asp?x=1");
            expected.push_back("");
            burst.push_back(" \r\n");
            expected.push_back("");
        }
    }
    burst.push_back("GetChildDepts.asp?deptId=");
    std::string all;
    for (const std::string& request : burst) AppendLengthFrame(all, Gbk(request));
    ASSERT_TRUE(console.SendRaw(all));
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(console.Receive(), expected[i]) << burst[i];
    }
    const std::optional<std::string> list = console.Receive();
    ASSERT_TRUE(list.has_value());
    EXPECT_GT(list->size(), 1500u);  // longer than a plain read's piece: no quiet time needed
    EXPECT_NE(list->find("部门1039"), std::string::npos);

    // The same directory through the plain port, and the fingerprint the
    // administrator reads out is the one the console was shown.
    Client plain(server.Port());
    ASSERT_TRUE(plain.LoginAsAdmin());
    EXPECT_EQ(plain.Ask("GetChildDepts.asp?deptId="), *list);
    const std::string fingerprint = console.PeerFingerprint();
    EXPECT_TRUE(std::regex_match(fingerprint, std::regex("([0-9A-F]{2}:){31}[0-9A-F]{2}")));
    EXPECT_NE(server.ErrorOutput().find("warden-server: " + fingerprint + "\n"), std::string::npos);
    EXPECT_EQ(FingerprintOf(server.BaseDir()), fingerprint + "\n");
    struct stat key {};
    ASSERT_EQ(::stat((server.BaseDir() / "tls/server.key").c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);
    EXPECT_EQ(server.Stop(), 0);

    // The trail tells the two sessions apart by their transport.
    const RunResult log = RunProgram(BinaryDir() / "warden-server",
                                     {"--audit-log", "--base-dir", server.BaseDir().string()});
    EXPECT_NE(log.output.find("\tLoginCheck.asp\tadmin\tsuccess|1\tvia TLS; ver=1.5"),
              std::string::npos)
        << log.output;
    EXPECT_NE(log.output.find("\tvia plain text; ver=1.5"), std::string::npos);
}

// Peers that do not speak the TLS port's language, each closed without
// costing the server more than its connection; a console is served all along.
TEST(TlsE2eTest, HostilePeersAreClosedAndTheServerServesOn) {
    ServerProcess server("[SERVER]\nMAX_REQUEST=4096\n[TLS]\nHANDSHAKE_MS=300\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    TlsClient console(server.TlsPort());
    ASSERT_TRUE(console.LoginAsAdmin());

    // Plain text to the TLS port.
    Client plainText(server.TlsPort());
    ASSERT_TRUE(
        WriteMessage(plainText.Fd(), Gbk("LoginCheck.asp?username=admin`password=admin`ver=1.5")));
    EXPECT_TRUE(ClosedWithin(plainText.Fd(), 5s));

    // TLS 1.2 and older.
    for (int version : {TLS1_2_VERSION, TLS1_1_VERSION}) {
        TlsClient old(server.TlsPort(), "127.0.0.1", version);
        EXPECT_FALSE(old.Connected()) << version;
    }

    // A frame longer than MAX_REQUEST: refused by its header alone.
    TlsClient oversized(server.TlsPort());
    ASSERT_TRUE(oversized.SendRaw(std::string("\x00\x00\x10\x01", 4) + "DeptAdd.asp"));
    EXPECT_EQ(oversized.Receive(), "error:处理请求失败,请检查数据后重新提交");
    EXPECT_TRUE(oversized.ClosedByServer());

    // A frame cut by a closing peer is never executed.
    {
        TlsClient cut(server.TlsPort());
        ASSERT_TRUE(cut.Ask("LoginCheck.asp?username=admin`password=admin`ver=1.5").has_value());
        std::string frame;
        AppendLengthFrame(frame, Gbk("DeptAdd.asp?deptid=半截`parentdept="));
        ASSERT_TRUE(cut.SendRaw(frame.substr(0, 20)));
    }

    // A handshake that never finishes: silence, or half a ClientHello.
    Client silent(server.TlsPort());
    Client halfHello(server.TlsPort());
    ASSERT_TRUE(WriteMessage(halfHello.Fd(), std::string("\x16\x03\x01\x02\x00\x01", 6)));
    for (Client* peer : {&silent, &halfHello}) {
        EXPECT_TRUE(ClosedWithin(peer->Fd(), 5s)) << "not closed after HANDSHAKE_MS";
    }
    EXPECT_NE(server.ErrorOutput().find("had not finished its TLS handshake"), std::string::npos);

    EXPECT_EQ(console.Ask("GetChildDepts.asp?deptId="), " ");
    EXPECT_EQ(server.Stop(), 0);
}

// Where the listeners listen: the plain port can be turned off, both follow
// ADDRESS (IPv6 too), and the warning names a plain port open beyond this
// machine only.
TEST(TlsE2eTest, ListenersFollowPlaintextAndAddress) {
    const struct {
        std::string config;
        bool plain;
        bool warns;
        std::string host;
    } cases[] = {
        {"", true, true, "127.0.0.1"},
        {"[LISTEN_PORT]\nPLAINTEXT=0\n", false, false, "::1"},
        {"[LISTEN_PORT]\nADDRESS=127.0.0.1\n", true, false, "127.0.0.1"},
        {"[LISTEN_PORT]\nADDRESS=::1\n", true, false, "::1"},
    };
    for (const auto& c : cases) {
        ServerProcess server(c.config);
        ASSERT_TRUE(server.Started()) << c.config << server.ErrorOutput();
        EXPECT_EQ(server.Port() != 0, c.plain) << c.config;
        EXPECT_EQ(server.ErrorOutput().find("plain-text port listens on") != std::string::npos,
                  c.warns)
            << c.config;
        TlsClient console(server.TlsPort(), c.host);
        EXPECT_TRUE(console.LoginAsAdmin()) << c.config;
        if (!c.plain) {
            EXPECT_NE(server.ErrorOutput().find("plain-text port is off"), std::string::npos);
        }
        EXPECT_EQ(server.Stop(), 0);
    }
    ServerProcess wrong("[LISTEN_PORT]\nADDRESS=10.1\n");
    EXPECT_FALSE(wrong.Started());
    EXPECT_NE(wrong.ErrorOutput().find("ADDRESS=10.1 is no IPv4 or IPv6 address"),
              std::string::npos);
}

// A site's own certificate is used as it is; half a pair, or a key of
// another certificate, stops the start with the files named.
TEST(TlsE2eTest, OwnCertificatesAreUsedAndBrokenPairsRefused) {
    TempDir first, second;
    std::string made;
    {
        ServerProcess server({}, first.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        made = FingerprintOf(first.Path());
    }
    std::filesystem::create_directories(second.Path() / "own");
    std::filesystem::copy_file(first.Path() / "tls/server.crt", second.Path() / "own/site.pem");
    std::filesystem::copy_file(first.Path() / "tls/server.key", second.Path() / "own/site.key");
    const std::string own = "[TLS]\nPORT=0\nCERTIFICATE=own/site.pem\nPRIVATE_KEY=own/site.key\n";
    {
        ServerProcess server(own, second.Path());
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        EXPECT_EQ(TlsClient(server.TlsPort()).PeerFingerprint() + "\n", made);
        EXPECT_FALSE(std::filesystem::exists(second.Path() / "tls"));  // nothing made
    }
    // A key of another pair (a fresh one made in a third folder).
    TempDir third;
    { ServerProcess server({}, third.Path()); }
    std::filesystem::copy_file(third.Path() / "tls/server.key", second.Path() / "own/site.key",
                               std::filesystem::copy_options::overwrite_existing);
    {
        ServerProcess server(own, second.Path());
        EXPECT_FALSE(server.Started());
        EXPECT_NE(server.ErrorOutput().find("does not belong to the certificate"),
                  std::string::npos)
            << server.ErrorOutput();
    }
    std::filesystem::remove(second.Path() / "own/site.key");
    ServerProcess half(own, second.Path());
    EXPECT_FALSE(half.Started());
    EXPECT_NE(half.ErrorOutput().find("own/site.key is missing"), std::string::npos)
        << half.ErrorOutput();
    EXPECT_EQ(FingerprintOf(third.Path() / "nothing").rfind("exit 1", 0), 0u);
}

// SIGTERM while both listeners have a backlog waiting (the descriptor limit
// is reached, so accepts fail and connections queue): the event thread must
// finish with the listeners before anything it uses is torn down.
TEST(TlsE2eTest, StopWithABacklogOnBothListenersExitsCleanlyEveryTime) {
    for (int round = 0; round < 10; ++round) {
        ServerProcess server("[SERVER]\nMAX_CONNECTIONS=1000\n", {}, 64);
        ASSERT_TRUE(server.Started()) << server.ErrorOutput();
        std::vector<std::unique_ptr<Client>> backlog;
        for (int i = 0; i < 60; ++i) {
            backlog.push_back(std::make_unique<Client>(i % 2 ? server.Port() : server.TlsPort()));
        }
        ASSERT_EQ(server.Stop(), 0) << "round " << round << "\n" << server.ErrorOutput();
    }
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "protocol/Framing.h"
#include "tests/support/ServerProcess.h"

namespace warden::test {
namespace {

using namespace std::chrono_literals;

// The real server under a descriptor limit far below its connection limit:
// connections fill it before the first request of the run, then one byte
// arrives. It must neither abort (no converter or other resource may fail
// outside a guard) nor spin on the failing accept, and it must serve again
// once descriptors are free.
TEST(HostilePeerE2eTest, AtItsDescriptorLimitTheServerNeitherAbortsNorSpinsAndRecovers) {
    ServerProcess server("[SERVER]\nMAX_CONNECTIONS=1000\n", {}, 64);
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::vector<std::unique_ptr<Client>> fillers;
    for (int i = 0; i < 80; ++i) {
        fillers.push_back(std::make_unique<Client>(server.Port()));
        ASSERT_TRUE(fillers.back()->Connected());
    }
    std::this_thread::sleep_for(300ms);
    ASSERT_NE(server.ErrorOutput().find("cannot accept connections"), std::string::npos)
        << server.ErrorOutput();

    // The first request of the run, at the limit.
    ASSERT_TRUE(WriteMessage(fillers.front()->Fd(), "G"));
    const auto cpuBefore = server.CpuTime();
    std::this_thread::sleep_for(1s);
    const auto cpuUsed = server.CpuTime() - cpuBefore;
    ASSERT_TRUE(server.Running()) << server.ErrorOutput();
    EXPECT_LT(cpuUsed, 200ms) << "the server spins at its descriptor limit";

    fillers.clear();
    Client console(server.Port());
    EXPECT_TRUE(console.LoginAsAdmin()) << server.ErrorOutput();
    EXPECT_NE(server.ErrorOutput().find("accepting connections again"), std::string::npos);
    EXPECT_EQ(server.Stop(), 0);
}

// More trickling peers than workers, and a flood of connections that never
// log in: a console logs in at once and is answered all the while; the
// flood's oldest connections give their places.
TEST(HostilePeerE2eTest, TricklersAndAnonymousFloodsDoNotDelayAConsole) {
    ServerProcess server("[SERVER]\nWORKERS=2\nMAX_ANONYMOUS=20\n");
    ASSERT_TRUE(server.Started()) << server.ErrorOutput();
    std::atomic<bool> stop{false};
    std::vector<std::thread> tricklers;
    for (int i = 0; i < 4; ++i) {
        tricklers.emplace_back([&] {
            Client peer(server.Port());
            const std::string piece(1024, 't');
            while (!stop && WriteMessage(peer.Fd(), piece)) std::this_thread::sleep_for(10ms);
        });
    }
    std::vector<std::unique_ptr<Client>> flood;
    for (int i = 0; i < 40; ++i) flood.push_back(std::make_unique<Client>(server.Port()));
    std::this_thread::sleep_for(200ms);

    Client console(server.Port());
    ASSERT_TRUE(console.LoginAsAdmin()) << server.ErrorOutput();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(console.Ask("GetAdminList.asp", 2s).has_value()) << "request " << i;
    }
    stop = true;
    for (auto& t : tricklers) t.join();
    size_t closed = 0;
    for (auto& peer : flood) {
        char byte;
        closed += ::recv(peer->Fd(), &byte, 1, MSG_DONTWAIT) == 0;
    }
    EXPECT_GE(closed, 40u - 20u + 1u);
    EXPECT_NE(server.ErrorOutput().find("without a login reached"), std::string::npos);
}

}  // namespace
}  // namespace warden::test

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "server/net/WorkerPool.h"

namespace warden {
namespace {

TEST(WorkerPoolTest, NeverRunsMoreTasksAtOnceThanItHasThreads) {
    std::atomic<int> running{0}, peak{0}, done{0};
    {
        WorkerPool pool(3);
        for (int i = 0; i < 30; ++i) {
            pool.Submit([&] {
                int now = ++running;
                for (int p = peak; now > p && !peak.compare_exchange_weak(p, now);) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                --running;
                ++done;
            });
        }
    }  // the destructor lets the queue drain
    EXPECT_EQ(done, 30);
    EXPECT_LE(peak, 3);
    EXPECT_GE(peak, 2);
}

TEST(WorkerPoolTest, RefusesWorkAfterShutdown) {
    WorkerPool pool(1);
    pool.Shutdown();
    EXPECT_FALSE(pool.Submit([] {}));
    pool.Shutdown();  // idempotent
}

}  // namespace
}  // namespace warden

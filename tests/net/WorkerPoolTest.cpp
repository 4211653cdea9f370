#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <vector>

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

TEST(WorkerPoolTest, UrgentTasksOvertakeTheQueuedOthers) {
    std::vector<int> order;
    std::promise<void> release;
    {
        WorkerPool pool(1);
        std::shared_future<void> gate = release.get_future().share();
        pool.Submit([gate] { gate.wait(); });  // holds the only thread
        pool.Submit([&] { order.push_back(1); });
        pool.Submit([&] { order.push_back(2); });
        pool.Submit([&] { order.push_back(3); }, WorkerPool::Priority::kUrgent);
        release.set_value();
    }  // runs what is queued, then joins
    EXPECT_EQ(order, (std::vector<int>{3, 1, 2}));
}

}  // namespace
}  // namespace warden

// A few threads for password checks, with a short queue. A password hash
// takes a tenth of a second and tens of megabytes by design, so checks run
// here rather than on the request workers (a flood of logins must not delay
// the consoles that are logged in), at most `threads` at once (bounding the
// memory), and when `queue` checks already wait a new one is refused at once
// rather than queued without end.
//
// Thread-safe: TrySubmit from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace warden {

class HashingPool {
  public:
    // REQUIRES: threads > 0
    HashingPool(size_t threads, size_t queue);
    ~HashingPool();  // Shutdown()
    HashingPool(const HashingPool&) = delete;
    HashingPool& operator=(const HashingPool&) = delete;

    // Queues `task`; false, without running it, when the queue is full or the
    // pool is shutting down.
    bool TrySubmit(std::function<void()> task);

    // Runs what is queued, then joins the threads. Idempotent.
    void Shutdown();

  private:
    // The scheduling priority of the pool's threads (a "nice" value).
    static constexpr int kNice = 10;

    void Loop();

    const size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace warden

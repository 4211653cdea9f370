// A fixed set of worker threads taking tasks from two queues: urgent tasks
// (the requests of connections that have logged in) before the others, so
// that a flood from connections without a login waits behind the consoles
// instead of in front of them. A flood of work waits in the queues; it never
// creates more threads. A task that throws is dropped; the thread goes on
// with the next.
// Thread-safe: Submit may be called from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace warden {

class WorkerPool {
  public:
    // REQUIRES: workers > 0
    explicit WorkerPool(size_t workers);
    ~WorkerPool();  // runs what is queued, then joins
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    enum class Priority { kNormal, kUrgent };

    // Queues a task; false once Shutdown has begun (the task is not run).
    bool Submit(std::function<void()> task, Priority priority = Priority::kNormal);

    // Lets the queued tasks finish, then joins every thread. Idempotent.
    void Shutdown();

    size_t Size() const { return m_threads.size(); }

  private:
    void Loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_urgent;
    std::deque<std::function<void()>> m_normal;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

}  // namespace warden

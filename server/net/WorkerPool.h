// A fixed set of worker threads taking tasks from two queues: urgent tasks
// (the requests of connections that have logged in) before the others, so
// that a flood from connections without a login waits behind the consoles
// instead of in front of them. A flood of work waits in the queues; it never
// creates more threads. A task that throws is dropped; the thread goes on
// with the next. A pool may bound its queues (a full pool refuses at once)
// and run its threads at a lower priority (password checks, which take what
// the request workers leave).
//
// A task submitted while a worker is idle goes straight to the worker that
// went idle last (its caches are warm) and wakes only that one: one wake-up
// per request and no herd of threads fighting for the queue's lock, which on
// a small machine cost more than most requests themselves.
// Thread-safe: Submit may be called from any thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace warden {

class WorkerPool {
  public:
    struct Limits {
        size_t maxQueued = SIZE_MAX;  // tasks waiting for a thread, beyond which Submit refuses
        int nice = 0;                 // the threads' scheduling priority, as for nice(1)
    };

    // REQUIRES: workers > 0
    explicit WorkerPool(size_t workers);
    WorkerPool(size_t workers, Limits limits);
    ~WorkerPool();  // runs what is queued, then joins
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    enum class Priority { kNormal, kUrgent };

    // Queues a task; false, without running it, when the queues are full or
    // Shutdown has begun.
    bool Submit(std::function<void()> task, Priority priority = Priority::kNormal);

    // Lets the queued tasks finish, then joins every thread. Idempotent.
    void Shutdown();

    size_t Size() const { return m_workers.size(); }

  private:
    struct Worker {
        std::binary_semaphore wake{0};
        std::function<void()> task;  // handed over while idle; empty: stop
        std::thread thread;
    };

    void Loop(Worker& self);
    // REQUIRES: m_mutex held. The next queued task, or an empty one.
    std::function<void()> TakeQueued();

    const Limits m_limits;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_urgent;
    std::deque<std::function<void()>> m_normal;
    std::vector<Worker*> m_idle;  // the last to go idle at the back
    bool m_stopping = false;
    std::vector<std::unique_ptr<Worker>> m_workers;
};

}  // namespace warden

#include "server/dispatch/HashingPool.h"

#include <sys/resource.h>
#include <unistd.h>

namespace warden {

HashingPool::HashingPool(size_t threads, size_t queue) : m_capacity(queue) {
    m_threads.reserve(threads);
    for (size_t i = 0; i < threads; ++i) m_threads.emplace_back([this] { Loop(); });
}

HashingPool::~HashingPool() {
    Shutdown();
}

bool HashingPool::TrySubmit(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_queue.size() >= m_capacity) return false;
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
    return true;
}

void HashingPool::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto& thread : m_threads) {
        if (thread.joinable()) thread.join();
    }
}

void HashingPool::Loop() {
    // Below the request workers: when the processors are busy, the consoles'
    // requests run first and password checks take what is left. (Lowering a
    // thread's own priority needs no privilege; if it fails the pool still
    // works, only without that preference.)
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kNice);
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;  // stopping and drained
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A task answers its own failures; one that still throws must not
            // take the process down.
        }
    }
}

}  // namespace warden

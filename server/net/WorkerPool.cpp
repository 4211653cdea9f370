#include "server/net/WorkerPool.h"

namespace warden {

WorkerPool::WorkerPool(size_t workers) {
    m_threads.reserve(workers);
    for (size_t i = 0; i < workers; ++i) m_threads.emplace_back([this] { Loop(); });
}

WorkerPool::~WorkerPool() {
    Shutdown();
}

bool WorkerPool::Submit(std::function<void()> task, Priority priority) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) return false;
        (priority == Priority::kUrgent ? m_urgent : m_normal).push_back(std::move(task));
    }
    m_wake.notify_one();
    return true;
}

void WorkerPool::Shutdown() {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping && m_threads.empty()) return;
        m_stopping = true;
    }
    m_wake.notify_all();
    for (auto& t : m_threads) {
        if (t.joinable()) t.join();
    }
    m_threads.clear();
}

void WorkerPool::Loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock,
                        [this] { return m_stopping || !m_urgent.empty() || !m_normal.empty(); });
            auto& queue = m_urgent.empty() ? m_normal : m_urgent;
            if (queue.empty()) return;  // stopping and drained
            task = std::move(queue.front());
            queue.pop_front();
        }
        try {
            task();
        } catch (...) {
            // A task answers its own failures; one that still throws must not
            // take the thread, and with it the process, down.
        }
    }
}

}  // namespace warden

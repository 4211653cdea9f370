#include "server/dispatch/HashingPool.h"

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
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;  // stopping and drained
            task = std::move(m_queue.front());
            m_queue.pop_front();
        }
        task();
    }
}

}  // namespace warden

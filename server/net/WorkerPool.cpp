#include "server/net/WorkerPool.h"

#include <sys/resource.h>
#include <unistd.h>

namespace warden {

WorkerPool::WorkerPool(size_t workers) : WorkerPool(workers, Limits{}) {}

WorkerPool::WorkerPool(size_t workers, Limits limits) : m_limits(limits) {
    m_workers.reserve(workers);
    m_idle.reserve(workers);
    for (size_t i = 0; i < workers; ++i) {
        auto worker = std::make_unique<Worker>();
        worker->thread = std::thread([this, w = worker.get()] { Loop(*w); });
        m_workers.push_back(std::move(worker));
    }
}

WorkerPool::~WorkerPool() {
    Shutdown();
}

bool WorkerPool::Submit(std::function<void()> task, Priority priority) {
    Worker* idle = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping) return false;
        if (m_idle.empty()) {
            // Every worker is busy; the first to finish takes it.
            if (m_urgent.size() + m_normal.size() >= m_limits.maxQueued) return false;
            (priority == Priority::kUrgent ? m_urgent : m_normal).push_back(std::move(task));
            return true;
        }
        // A worker is idle only while both queues are empty, so handing the
        // task over directly keeps the order.
        idle = m_idle.back();
        m_idle.pop_back();
        idle->task = std::move(task);
    }
    idle->wake.release();
    return true;
}

void WorkerPool::Shutdown() {
    std::vector<Worker*> idle;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping && m_workers.empty()) return;
        m_stopping = true;
        idle.swap(m_idle);
    }
    // Idle workers wake with no task and leave; busy ones leave once the
    // queues are empty.
    for (Worker* w : idle) w->wake.release();
    for (auto& w : m_workers) {
        if (w->thread.joinable()) w->thread.join();
    }
    m_workers.clear();
}

std::function<void()> WorkerPool::TakeQueued() {
    auto& queue = m_urgent.empty() ? m_normal : m_urgent;
    if (queue.empty()) return {};
    std::function<void()> task = std::move(queue.front());
    queue.pop_front();
    return task;
}

void WorkerPool::Loop(Worker& self) {
    // Lowering a thread's own priority needs no privilege; should it fail,
    // the pool still works, only without that preference.
    if (m_limits.nice != 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), m_limits.nice);
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_mutex);
            task = TakeQueued();
            if (!task) {
                if (m_stopping) return;  // stopping and drained
                m_idle.push_back(&self);
            }
        }
        if (!task) {
            self.wake.acquire();
            task = std::move(self.task);
            self.task = nullptr;
            if (!task) return;  // woken to stop
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

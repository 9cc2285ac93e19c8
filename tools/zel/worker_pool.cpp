#include "tools/zel/worker_pool.h"

namespace zel::cli {
namespace {

// Tasks queued per worker: enough that no worker waits for the walk, few enough to hold little.
constexpr std::size_t kQueuedPerWorker = 4;

}  // namespace

WorkerPool::WorkerPool(std::size_t workers) : m_workers(workers == 0 ? 1 : workers) {
    if (m_workers == 1) return;
    try {
        for (std::size_t worker = 0; worker < m_workers; ++worker)
            m_threads.emplace_back(&WorkerPool::Work, this, worker);
    } catch (...) {
        // Threads that did start are ended before the failure goes on.
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (auto& thread : m_threads) thread.join();
        throw;
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_changed.notify_all();
    for (auto& thread : m_threads) thread.join();
}

void WorkerPool::Submit(Task task) {
    if (m_threads.empty()) {
        task(0);
        return;
    }
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_failure || m_queue.size() < m_workers * kQueuedPerWorker; });
    if (m_failure) std::rethrow_exception(m_failure);
    m_queue.push_back(std::move(task));
    lock.unlock();
    m_changed.notify_all();
}

void WorkerPool::Finish() {
    if (m_threads.empty()) return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_failure || (m_queue.empty() && m_running == 0); });
    if (m_failure) std::rethrow_exception(m_failure);
}

void WorkerPool::Work(std::size_t worker) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping) return;
        Task task = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_running;
        lock.unlock();
        m_changed.notify_all();  // room in the queue
        std::exception_ptr failure;
        try {
            task(worker);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        --m_running;
        if (failure && !m_failure) {
            m_failure = failure;
            m_queue.clear();
        }
        m_changed.notify_all();
    }
}

}  // namespace zel::cli

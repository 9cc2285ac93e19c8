// A fixed number of worker threads that run tasks as they come, each task on whichever worker is
// free. The queue is short, so that whoever submits (a folder walk) never runs far ahead of the
// work. With one worker there is no thread at all: each task runs at once on the caller's thread,
// in the order submitted.
//
// The first exception a task throws stops the pool: tasks not yet started are dropped, and the
// exception comes out of the next Submit or of Finish, on the caller's thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zel::cli {

class WorkerPool {
public:
    // A task learns which worker runs it (0 to workers - 1), to use that worker's own tools.
    using Task = std::function<void(std::size_t worker)>;

    explicit WorkerPool(std::size_t workers);
    // Stops the workers (dropping what is still queued) and waits for them.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    std::size_t Workers() const { return m_workers; }
    // Queues `task`, waiting while the queue is full.
    void Submit(Task task);
    // Waits until every task submitted has run.
    void Finish();

private:
    void Work(std::size_t worker);

    std::size_t m_workers;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Task> m_queue;
    std::size_t m_running = 0;
    bool m_stopping = false;
    std::exception_ptr m_failure;
};

}  // namespace zel::cli

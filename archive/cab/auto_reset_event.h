// An auto-reset event: Set wakes one waiter (or the next one to wait), which resets it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zel::arcopen {

class CAutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_signalled = true;
        }
        m_changed.notify_one();
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = false;
    }
    // Waits until the event is set, for at most `milliseconds` (negative: without limit). True
    // when it was set (and is now reset again), false at the limit.
    bool Wait(int milliseconds) {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto ready = [this] { return m_signalled; };
        if (milliseconds < 0) {
            m_changed.wait(lock, ready);
        } else if (!m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
            return false;
        }
        m_signalled = false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = false;
};

}  // namespace zel::arcopen

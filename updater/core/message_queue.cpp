#include "updater/core/message_queue.h"

namespace zel::updater {

CMessageQueue::~CMessageQueue() { Close(); }

void CMessageQueue::Post(const CMessage& message) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return;
        m_entries.push_back({message, nullptr});
    }
    m_arrived.notify_all();
}

void CMessageQueue::Send(const CMessage& message) {
    auto handled = std::make_shared<bool>(false);
    std::unique_lock lock(m_mutex);
    if (m_closed) return;
    m_entries.push_back({message, handled});
    m_arrived.notify_all();
    m_handled.wait(lock, [&] { return *handled || m_closed; });
}

bool CMessageQueue::Dispatch(const std::function<void(const CMessage&)>& handler, std::chrono::milliseconds timeout) {
    Entry entry;
    {
        std::unique_lock lock(m_mutex);
        if (!m_arrived.wait_for(lock, timeout, [&] { return m_closed || !m_entries.empty(); }) || m_closed)
            return false;
        entry = std::move(m_entries.front());
        m_entries.pop_front();
    }
    handler(entry.message);
    if (entry.handled) {
        std::lock_guard lock(m_mutex);
        *entry.handled = true;
        m_handled.notify_all();
    }
    return true;
}

void CMessageQueue::Close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_entries.clear();
    }
    m_arrived.notify_all();
    m_handled.notify_all();
}

bool CMessageQueue::IsClosed() {
    std::lock_guard lock(m_mutex);
    return m_closed;
}

}  // namespace zel::updater

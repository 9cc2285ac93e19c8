// A thread's message queue in the manner of a window system: other threads post messages (and go
// on) or send them (and wait until the owner has handled them). The owner takes them one at a time.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "framework/framework_types.h"

namespace zel::updater {

// Message numbers shared by the download worker and the download page. The window system's own
// messages have names of ours: its names are macros wherever its header is included.
constexpr UINT kQuitMessage = 0x0012;
constexpr UINT kTimerMessage = 0x0113;
constexpr UINT WM_DL_CONNECT = 0x8190;
constexpr UINT WM_DL_DOWNLOAD = 0x8191;
constexpr UINT WM_DL_STOP = 0x8192;
constexpr UINT WM_DL_ERROR = 0x819A;
constexpr UINT WM_DL_CONNECTED = 0x819B;
constexpr UINT WM_DL_STARTED = 0x81F6;
constexpr UINT WM_DL_PROGRESS = 0x81F7;
constexpr UINT WM_DL_DONE = 0x81F8;

struct CMessage {
    UINT message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class CMessageQueue {
public:
    CMessageQueue() = default;
    CMessageQueue(const CMessageQueue&) = delete;
    CMessageQueue& operator=(const CMessageQueue&) = delete;
    // Closes the queue, releasing every sender that still waits.
    ~CMessageQueue();

    // Appends a message and returns at once. Ignored once the queue is closed.
    void Post(const CMessage& message);
    // Appends a message and waits until the owner has handled it (or the queue is closed).
    // Never call it from the owner's own thread.
    void Send(const CMessage& message);
    // Owner: waits up to `timeout` for the next message and hands it to `handler`; a sender waiting
    // for it is released after the handler returns. False when nothing came (or the queue is closed).
    bool Dispatch(const std::function<void(const CMessage&)>& handler, std::chrono::milliseconds timeout);
    // Drops every waiting message, releases the senders and refuses new messages.
    void Close();
    bool IsClosed();

private:
    struct Entry {
        CMessage message;
        std::shared_ptr<bool> handled;  // set for sent messages
    };

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::condition_variable m_handled;
    std::deque<Entry> m_entries;
    bool m_closed = false;
};

}  // namespace zel::updater

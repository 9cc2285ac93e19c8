// CQVDownloadThread: the thread that does all network input and output of the updater. It takes
// connect, download and stop requests from its own queue, one at a time, and answers its owner
// with notifications: errors 1-7 and "connected" are sent (the thread waits until the owner has
// handled them, except error 1, which is posted); "started", "progress" and "done" are posted.
#pragma once

#include <memory>
#include <thread>

#include "platform/files.h"
#include "platform/internet.h"
#include "updater/core/download_worker.h"

namespace zel::updater {

// Error codes of WM_DL_ERROR.
enum DownloadError : UINT {
    kErrorBadUrl = 1,
    kErrorSession = 2,
    kErrorOpenUrl = 3,
    kErrorTempFile = 4,
    kErrorRead = 6,
    kErrorCheck = 7,
};

// Bytes per read: one progress notification and one stop check per block.
constexpr std::size_t kBlockSize = 2048;

class CQVDownloadThread final : public CDownloadWorker {
public:
    // The thread runs from construction and ends on WM_DL_STOP (or on destruction). Downloads are
    // kept in the temporary folder of `files` until checked, then installed through it.
    CQVDownloadThread(platform::Internet& internet, platform::FileSystem& files);
    // Stops the thread and waits for it. Close the owner's queue first if the thread may be waiting
    // on a sent notification that nobody will handle any more.
    ~CQVDownloadThread() override;

    void Post(UINT message) override;
    // True once the thread has handled WM_DL_STOP.
    bool HasEnded() const { return m_ended; }

private:
    void Run();
    void Connect();
    void Download();
    void Notify(UINT message, std::uintptr_t wParam, std::intptr_t lParam, bool send);
    void Fail(UINT code, bool send = true) { Notify(WM_DL_ERROR, code, 0, send); }
    bool StopRequested();
    // "" when the received file has the promised size and CRC, else why not.
    CString CheckReceivedFile(const std::string& path) const;
    // Reports a failure whose text is ours, not the transport's (codes 4 and 7).
    void FailWith(UINT code, const CString& reason) {
        SetErrorText(reason);
        Fail(code);
    }

    platform::Internet& m_internet;
    platform::FileSystem& m_files;
    std::unique_ptr<platform::InternetSession> m_session;
    char m_buffer[kBlockSize];
    CMessageQueue m_queue;
    std::atomic<bool> m_ended{false};
    // Set as soon as a stop is posted, so that the transfer under way ends without waiting for its
    // next block; the thread ends with that stop, so the flag is never cleared.
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace zel::updater

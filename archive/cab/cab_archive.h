// The CAB back-end. The cabinet decompressor runs a whole cabinet in one call (CabCopy) that calls
// back for each file, while the reader interface asks for one entry at a time; so CabCopy runs on
// a worker thread of the reader's own, which stops at every file and waits until the caller's
// thread says whether to extract it, skip it or start again from the first file.
//
// Hand-over: the worker puts the file's name in the exchange buffer, sets the state to "waiting"
// and signals the notification event, then waits for the command event. The caller waits for the
// notification, reads the name, and answers with a command (and, to extract, the destination in
// the exchange buffer). Extract then waits until the worker is done with the entry, so that the
// entry's own failure is reported by Extract.
//
// The caller's waits guard against a worker that hangs: they give up only when the worker has
// read and written nothing for the wait limit (10 s by default), however long a large entry takes
// as a whole. A wait that gives up is a failure of the archive, never its end.
//
// Failures: an entry whose data is damaged, cut short or continued in another cabinet, or whose
// output cannot be made, fails alone; the worker then runs the cabinet again, passing over the
// files it has offered, and the walk goes on. A cabinet whose headers or file list cannot be read
// ends the pass with eArchiveFailure.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "archive/cab/auto_reset_event.h"
#include "archive/cabinet/cabinet.h"
#include "archive/entry_output.h"
#include "archive/qv_archive.h"

class CQVCabArchive : public CQVArchive {
public:
    static constexpr int kWaitLimitMs = 10000;

    // `waitLimitMs`: how long the caller's side waits for a worker that makes no progress (tests
    // shorten it). `files`: the worker's file and memory callbacks (tests stall them).
    explicit CQVCabArchive(int waitLimitMs = kWaitLimitMs, zel::cabinet::CabCallbacks files = Callbacks());
    ~CQVCabArchive() override;
    CQVCabArchive(const CQVCabArchive&) = delete;
    CQVCabArchive& operator=(const CQVCabArchive&) = delete;

    // 0 when the file cannot be read or is no cabinet; otherwise starts the worker.
    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "cab"; }
    // Starts the pass again from the first file; eEndOfArchive (eArchiveFailure) once a pass has
    // ended (normally, or with a failure): a new pass needs a new Open.
    void MoveFirst() override;
    // The waiting file's name; asked again before an answer, the same name.
    CString GetName() override;
    void MoveNext() override;
    void ExtractFirst() override { MoveFirst(); }
    CString GetExtractName() override { return GetName(); }
    // Writes the entry and waits until it is written; eArchiveFailure when that entry fails. The
    // bytes it decoded include the earlier files of the entry's folder that the decoder had to go
    // through to reach it.
    void Extract(CString destination, int skip) override;
    void ExtractNext() override;

    // The seven decompressor callbacks over the platform's low-level file calls. On a worker, reads
    // and writes count as its progress, the entry's output is written through CEntryOutput, and
    // while the worker is being closed its reads and writes fail, so that a long decode stops.
    static zel::cabinet::CabCallbacks Callbacks();

private:
    enum ECommand : int { commandNone = 0, commandExtract = 2, commandSkip = 3, commandRestart = 4 };
    enum EState : int { stateRunning = 0, stateFinished = 1, stateWaiting = 2 };

    // Worker side.
    void WorkerMain();
    // Runs the cabinet through the decompressor (again after a restart or a failed entry);
    // `error` is the context's error record.
    void RunCabinet(zel::cabinet::CabContext* context, const zel::cabinet::CabErrorRecord& error);
    zel::cabinet::CabHandle OnCopyFile(zel::cabinet::CabNotification* notification);
    zel::cabinet::CabHandle StartEntry(zel::cabinet::CabNotification* notification);
    zel::cabinet::CabHandle OnCloseFile();
    static zel::cabinet::CabHandle Notify(zel::cabinet::ECabNotification type,
                                          zel::cabinet::CabNotification* notification);
    static std::uint32_t ReadCallback(zel::cabinet::CabHandle handle, void* buffer, std::uint32_t count);
    static std::uint32_t WriteCallback(zel::cabinet::CabHandle handle, const void* buffer, std::uint32_t count);
    static int CloseCallback(zel::cabinet::CabHandle handle);

    // Caller side.
    void SendCommand(ECommand command);
    // Waits for the worker's next notification; eArchiveFailure when it makes no progress.
    void AwaitNotification();
    // Waits until the worker stands at a file or has ended.
    void AwaitOffer();
    // The pass is over: eArchiveFailure when it ended in a failure, eEndOfArchive otherwise.
    [[noreturn]] void ThrowPassEnd() const;

    const int m_waitLimitMs;
    const zel::cabinet::CabCallbacks m_files;
    std::thread m_worker;
    zel::arcopen::CAutoResetEvent m_commandEvent;
    zel::arcopen::CAutoResetEvent m_notificationEvent;
    std::atomic<int> m_command{commandNone};
    std::atomic<int> m_state{stateFinished};
    std::atomic<bool> m_closing{false};
    std::atomic<std::uint64_t> m_progress{0};      // bytes the worker has read or written
    std::atomic<std::uint64_t> m_decoded{0};       // bytes the worker has decoded, as of its last notification
    std::atomic<std::uint64_t> m_commandLimit{0};  // the extraction limit that goes with a command

    // Written by the worker before it notifies, read by the caller after.
    std::atomic<bool> m_runFailed{false};    // the cabinet could not be walked to its end
    std::atomic<bool> m_entryFailed{false};  // the last extracted entry failed
    std::atomic<bool> m_entryTruncated{false};

    std::string m_path;       // the whole archive path
    std::string m_cabinet;    // its file name (after the last separator)
    std::string m_directory;  // up to and including the last separator, or ""
    std::mutex m_exchangeLock;
    std::string m_exchange;  // the waiting entry's name, or the caller's destination

    // Caller only.
    bool m_notified = false;              // the caller took the worker's notification and has not answered it
    bool m_stalled = false;               // a wait gave up: the pass has failed
    std::uint64_t m_decodedReported = 0;  // of m_decoded, what Extract has reported so far

    // Worker only.
    zel::cabinet::CabContext* m_context = nullptr;
    std::unique_ptr<zel::arcopen::CEntryOutput> m_output;  // the entry being written
    bool m_volumeRefused = false;                          // the run stopped at a file continued in the next cabinet
    std::uint32_t m_offered = 0;                           // files offered in this run of the cabinet
    std::uint32_t m_resumeAfter = 0;                       // files passed over silently: they were offered before
};

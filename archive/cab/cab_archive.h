// The CAB back-end. The cabinet decompressor runs a whole cabinet in one call (CabCopy) that calls
// back for each file, while the reader interface asks for one entry at a time; so CabCopy runs on
// a worker thread of the reader's own, which stops at every file and waits until the caller's
// thread says whether to extract it, skip it or start again from the first file.
//
// Hand-over: the worker puts the file's name in the exchange buffer, sets the state to "waiting"
// and signals the notification event, then waits for the command event. The caller waits for the
// notification (at most the wait limit, 10 s by default), reads the name, and answers with a
// command (and, to extract, the destination in the exchange buffer). Cabinet errors end the
// worker's run, so they show as the end of the entries: this back-end throws eEndOfArchive only.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "archive/cab/auto_reset_event.h"
#include "archive/cabinet/cabinet.h"
#include "archive/qv_archive.h"

class CQVCabArchive : public CQVArchive {
public:
    static constexpr int kWaitLimitMs = 10000;

    // `waitLimitMs`: how long the caller's side waits for the worker (tests shorten it).
    explicit CQVCabArchive(int waitLimitMs = kWaitLimitMs);
    ~CQVCabArchive() override;
    CQVCabArchive(const CQVCabArchive&) = delete;
    CQVCabArchive& operator=(const CQVCabArchive&) = delete;

    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "cab"; }
    void MoveFirst() override;
    CString GetName() override;
    void MoveNext() override;
    void ExtractFirst() override { MoveFirst(); }
    CString GetExtractName() override { return GetName(); }
    void Extract(CString destination, int skip) override;
    void ExtractNext() override;

    // The seven decompressor callbacks over the platform's low-level file calls. While a worker
    // is being closed, its reads and writes fail, so that a long decode stops at once.
    static zel::cabinet::CabCallbacks Callbacks();

private:
    enum ECommand : int { commandNone = 0, commandExtract = 2, commandSkip = 3, commandRestart = 4 };
    enum EState : int { stateRunning = 0, stateFinished = 1, stateWaiting = 2 };

    void WorkerMain();
    zel::cabinet::CabHandle OnCopyFile(const char* name, std::uint16_t attributes);
    void SendCommand(ECommand command);
    static zel::cabinet::CabHandle Notify(zel::cabinet::ECabNotification type,
                                          zel::cabinet::CabNotification* notification);

    const int m_waitLimitMs;
    std::thread m_worker;
    zel::arcopen::CAutoResetEvent m_commandEvent;
    zel::arcopen::CAutoResetEvent m_notificationEvent;
    std::atomic<int> m_command{commandNone};
    std::atomic<int> m_state{stateFinished};
    std::atomic<bool> m_closing{false};

    std::string m_path;       // the whole archive path
    std::string m_cabinet;    // its file name (after the last separator)
    std::string m_directory;  // up to and including the last separator, or ""
    std::mutex m_exchangeLock;
    std::string m_exchange;   // the waiting entry's name, or the caller's destination
    std::string m_output;     // worker only: the output file being written, until it is complete
};

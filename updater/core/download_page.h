// The run logic of the download-and-install page: it drives the download worker through one update
// run (connect, fetch the script, run it, fetch every out-of-date file), keeps the file rows, the
// counters and the log lines, and tells a view what to show. No widgets: the view draws.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "sysutil/text_buffer.h"
#include "updater/core/download_worker.h"
#include "updater/core/update_app.h"

namespace zel::updater {

// Wizard buttons, as the property sheet numbers them (under names of ours: the sheet's own names are
// macros wherever the system's header is included).
constexpr DWORD kWizardBack = 1;
constexpr DWORD kWizardNext = 2;
constexpr DWORD kWizardFinish = 4;

// Row icons.
enum RowIcon : int { kIconBusy0 = 0, kIconBusy1 = 1, kIconUpdated = 2, kIconComplete = 3, kIconFailed = 4 };

struct CFileRow {
    CString name;
    CString size;
    int icon = 0;
    CString reason;  // why a failed row failed; "" otherwise
};

// What the page shows besides the rows; handed to the view on every refresh.
struct CPageDisplay {
    DWORD currentRange = 0;
    DWORD currentPos = 0;
    DWORD totalRange = 0;
    DWORD totalPos = 0;
    CString status;
    CString downloaded;
    CString timeLeft;
};

// A progress bar holds int values: a 32-bit unsigned range and position are scaled down together
// until the range fits. A zero range shows an empty bar (a toolkit might animate a busy bar
// instead). Returns {maximum, value}.
std::pair<int, int> ScaleBar(std::uint32_t range, std::uint32_t position);

class CDownloadPageView {
public:
    virtual ~CDownloadPageView() = default;
    virtual void SetWizardButtons(DWORD buttons) = 0;
    virtual void RowsCleared() = 0;
    virtual void RowAdded(const CFileRow& row) = 0;
    virtual void RowChanged(std::size_t index, const CFileRow& row) = 0;
    virtual void Show(const CPageDisplay& display) = 0;
    // A modal message with an OK button.
    virtual void ShowModalMessage(const CString& text) = 0;
    // Makes the sheet show page `index` (0 settings, 2 completion).
    virtual void SetActivePage(int index) = 0;
    virtual void KillTimer() = 0;
};

class CDownloadPage {
public:
    CDownloadPage(CUpdateApp& app, CDownloadWorker& worker, CMessageQueue& window, CDownloadPageView& view,
                  platform::Clock& clock, platform::FileSystem& files, platform::Desktop& desktop);

    void OnSetActive();
    void OnCancel();
    // The page window's message handler (timer and worker notifications).
    void OnMessage(const CMessage& message);

    void OnConnected();
    void OnProgress(long bytes);
    void OnDownloadError(UINT code);
    void Step(bool success);
    void Refresh();

    // The time-left text for `seconds`: hours modulo 24, "%H:%M:%S".
    static CString FormatTimeLeft(std::int64_t seconds);
    // Seconds left for `remaining` bytes at the rate of `received` bytes in `elapsedMs`.
    static std::int64_t SecondsLeft(std::int64_t remaining, DWORD received, DWORD elapsedMs);

    const std::vector<CFileRow>& Rows() const { return m_rows; }
    int EntriesDone() const { return m_entriesDone; }
    int TotalReceived() const { return m_totalReceived; }
    int TotalExpected() const { return m_totalExpected; }
    int ScriptPos() const { return m_scriptPos; }
    const CString& StatusText() const { return m_statusText; }
    const CString& TimeLeftText() const { return m_timeLeftText; }
    bool Finished() const { return m_finished; }

private:
    void LoadScript();
    void RunScript();
    bool RunLine(int pos, int& next);
    // A `c` line: starts its download (true; the run goes on at `nextLine` when it ends), or lists
    // it as complete or failed.
    bool RunEntry(std::string_view line, int nextLine);
    // A `d`, `g` or `n` line.
    void RunHousekeeping(std::string_view line);
    void StartDownload();
    void MarkComplete();
    void Finish();
    void Fail();
    // A script line that fails without a download (a refused path, a malformed `c` line): a failed
    // row and a "Failed update" log line; `entry` when it was a `c` entry.
    void FailLine(const CString& name, const CString& reason, bool entry);
    void AddRow(const CString& size, int icon);
    void SetLastRow(const CString* size, int icon);
    CString CurrentFileName() const;

    CUpdateApp& m_app;
    CUpdateSettings& m_settings;
    CDownloadWorker& m_worker;
    CMessageQueue& m_window;
    CDownloadPageView& m_view;
    platform::Clock& m_clock;
    platform::FileSystem& m_files;
    platform::Desktop& m_desktop;

    DWORD m_fileStartTick = 0;
    int m_entriesDone = 0;
    int m_totalReceived = 0;
    int m_totalExpected = 0;
    CTextBuffer m_script;
    int m_scriptPos = 0;
    CString m_label;
    CString m_version;
    std::vector<CFileRow> m_rows;
    CString m_timeLeftText = "00:00:00";
    CString m_statusText;
    CString m_downloadedText;
    bool m_finished = false;
};

}  // namespace zel::updater

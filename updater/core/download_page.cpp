#include "updater/core/download_page.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "updater/core/install_path.h"
#include "updater/core/update_script.h"
#include "updater/core/update_strings.h"

namespace zel::updater {

std::pair<int, int> ScaleBar(std::uint32_t range, std::uint32_t position) {
    if (range == 0) return {1, 0};
    position = std::min(position, range);
    constexpr std::uint32_t kLimit = 1u << 30;
    while (range >= kLimit) {
        range >>= 1;
        position >>= 1;
    }
    return {static_cast<int>(range), static_cast<int>(position)};
}
namespace {

// 32-bit counters wrap like the worker's own instead of overflowing.
int AddWrapping(int a, long b) {
    return static_cast<int>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

CString NameFromUrl(const CString& url) {
    std::size_t slash = url.rfind('/');
    return slash == CString::npos ? url : url.substr(slash + 1);
}

// The log names a file without the '_' that a mirror may put before its name.
CString LogName(CString name) {
    if (name.size() > 1 && name[0] == '_') name.erase(0, 1);
    return name;
}

// What names a `c` line too malformed to cut: its URL's file name when that field exists, else the
// start of the line itself.
CString MalformedLineName(std::string_view line, const CStringArray& fields) {
    constexpr std::size_t kMaxShown = 80;
    if (fields.size() >= 2) return NameFromUrl(fields[1]);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return CString(line.substr(0, kMaxShown));
}

}  // namespace

CDownloadPage::CDownloadPage(CUpdateApp& app, CDownloadWorker& worker, CMessageQueue& window, CDownloadPageView& view,
                             platform::Clock& clock, platform::FileSystem& files, platform::Desktop& desktop)
    : m_app(app), m_settings(app.m_settings), m_worker(worker), m_window(window), m_view(view), m_clock(clock),
      m_files(files), m_desktop(desktop), m_statusText(LoadUpdateString(IDS_CONNECTING)) {}

void CDownloadPage::OnSetActive() {
    m_view.SetWizardButtons(0);
    m_rows.clear();
    m_view.RowsCleared();
    m_entriesDone = m_totalReceived = m_totalExpected = 0;
    m_settings.FailedCount = 0;
    m_script.Free();
    m_scriptPos = 0;
    m_finished = false;

    if (m_settings.URL.empty()) {
        m_view.ShowModalMessage(LoadUpdateString(IDS_NO_MIRROR));
        Fail();
        return;
    }
    m_worker.Agent = kAppName;
    m_worker.URL = m_settings.URL;
    m_worker.FTPProxy = m_settings.FTPProxy;
    m_worker.FTPPort = m_settings.FTPPort;
    m_worker.HTTPProxy = m_settings.HTTPProxy;
    m_worker.HTTPPort = m_settings.HTTPPort;
    m_worker.UseProxy = m_settings.UseProxySettings;
    m_worker.m_pMainWnd = &m_window;
    m_worker.SkipCheck = 1;
    m_worker.Post(WM_DL_CONNECT);
    Refresh();
}

void CDownloadPage::OnCancel() {
    m_worker.Post(WM_DL_STOP);
    m_clock.Sleep(500);
    m_app.RestartPrograms();
}

void CDownloadPage::OnMessage(const CMessage& message) {
    switch (message.message) {
        case kTimerMessage: Refresh(); break;
        case WM_DL_ERROR: OnDownloadError(static_cast<UINT>(message.wParam)); break;
        case WM_DL_CONNECTED: OnConnected(); break;
        case WM_DL_STARTED:
            m_statusText = LoadUpdateString(IDS_DOWNLOADING);
            Refresh();
            break;
        case WM_DL_PROGRESS: OnProgress(static_cast<long>(message.lParam)); break;
        case WM_DL_DONE: Step(true); break;
        default: break;
    }
}

void CDownloadPage::OnConnected() {
    m_worker.URL = m_settings.URL + "/" + m_settings.ListFileName;
    m_worker.Destination = kScriptLocalName;
    m_worker.Post(WM_DL_DOWNLOAD);
}

CString CDownloadPage::CurrentFileName() const { return NameFromUrl(m_worker.URL); }

void CDownloadPage::AddRow(const CString& size, int icon) {
    m_rows.push_back({CurrentFileName(), size, icon, {}});
    m_view.RowAdded(m_rows.back());
}

void CDownloadPage::FailLine(const CString& name, const CString& reason, bool entry) {
    if (entry) ++m_entriesDone;
    ++m_settings.FailedCount;
    m_rows.push_back({name, kRowFailed, kIconFailed, reason});
    m_view.RowAdded(m_rows.back());
    m_settings.LogText += FormatText(kLogFailed, {entry ? LogName(name) : name});
    Refresh();
}

void CDownloadPage::SetLastRow(const CString* size, int icon) {
    if (m_rows.empty()) return;
    if (size) m_rows.back().size = *size;
    m_rows.back().icon = icon;
    m_view.RowChanged(m_rows.size() - 1, m_rows.back());
}

void CDownloadPage::StartDownload() {
    m_statusText = LoadUpdateString(IDS_CONNECTING);
    m_fileStartTick = m_clock.TickCount();
    if (m_entriesDone > 0) AddRow(std::to_string(m_worker.Received.load()), kIconBusy0);
    m_worker.Post(WM_DL_DOWNLOAD);
}

void CDownloadPage::MarkComplete() {
    m_statusText = LoadUpdateString(IDS_ENTRY_STATUS);
    ++m_entriesDone;
    AddRow(LoadUpdateString(IDS_COMPLETE), kIconComplete);
    Refresh();
}

void CDownloadPage::OnProgress(long bytes) {
    m_totalReceived = AddWrapping(m_totalReceived, bytes);
    CString size = std::to_string(m_worker.Received.load());
    if (!m_rows.empty()) SetLastRow(&size, m_clock.LocalSecond() % 2 == 0 ? kIconBusy1 : kIconBusy0);
    Refresh();
}

void CDownloadPage::Step(bool success) {
    if (m_entriesDone > 0) {
        DWORD total = m_worker.TotalSize.load();
        CString size = success ? std::to_string(total ? total : m_worker.Received.load()) : CString(kRowFailed);
        if (!success && !m_rows.empty()) m_rows.back().reason = m_worker.GetErrorText();
        SetLastRow(&size, success ? kIconUpdated : kIconFailed);
    }
    if (!success) ++m_settings.FailedCount;
    ++m_entriesDone;
    if (m_label == " ") m_label.clear();
    if (m_version == " ") m_version.clear();
    CString name = LogName(CurrentFileName());
    if (!success) {
        m_settings.LogText += FormatText(kLogFailed, {name});
    } else if (m_label.empty() && m_version.empty()) {
        // The script itself is no file of the update; a plain file is followed by an empty line.
        if (name != m_settings.ListFileName) m_settings.LogText += FormatText(kLogUpdatedFile, {name}) + "\r\n";
    } else {
        m_settings.LogText += FormatText(kLogUpdatedLabel, {m_label, name});
        if (!m_version.empty()) m_settings.LogText += kLogToVersion + m_version;
        m_settings.LogText += "\r\n";
    }
    Refresh();
    if (m_entriesDone == 1) {
        LoadScript();
    } else {
        Refresh();
    }
    RunScript();
}

void CDownloadPage::OnDownloadError(UINT code) {
    switch (code) {
        case 1:
        case 2:
            m_view.ShowModalMessage(m_worker.GetErrorText());
            Fail();
            return;
        case 3:
        case 4:
        case 6:
        case 7: {
            // A file of the script fails its row, with the reason, and the run goes on unasked.
            if (m_entriesDone > 0) {
                Step(false);
                return;
            }
            // The script arrived but cannot be stored: the folder is at fault, not the server.
            bool folder = code == 7 && m_worker.InstallFailed;
            if (code == 3 || code == 6 || folder) m_view.ShowModalMessage(m_worker.GetErrorText());
            m_view.ShowModalMessage(LoadUpdateString(folder ? IDS_FOLDER_UNWRITABLE : IDS_NO_SCRIPT));
            Fail();
            return;
        }
        default:
            m_view.ShowModalMessage(kUnknownError);
            Fail();
            return;
    }
}

void CDownloadPage::Fail() {
    m_view.SetWizardButtons(kWizardBack);
    Refresh();
    m_view.SetActivePage(0);
}

void CDownloadPage::Finish() {
    m_view.KillTimer();
    m_view.SetWizardButtons(kWizardNext);
    m_totalReceived = m_totalExpected;
    m_statusText = LoadUpdateString(IDS_ENTRY_STATUS);
    Refresh();
    m_worker.Post(WM_DL_STOP);
    m_finished = true;
    m_view.SetActivePage(2);
}

void CDownloadPage::LoadScript() {
    if (std::optional<std::string> script = m_files.ReadContent(kScriptLocalName, CTextBuffer::kMaxLength))
        m_script.SetContent(std::move(*script));
    m_scriptPos = 0;
    m_files.RemoveFile(kScriptLocalName);
}

void CDownloadPage::RunScript() {
    m_statusText = LoadUpdateString(IDS_CHECKING);
    Refresh();
    while (m_scriptPos >= 0) {
        int next = -1;
        if (RunLine(m_scriptPos, next)) return;  // a download was started; its end resumes the run
        m_scriptPos = next;
    }
    Finish();
}

// Runs the line at `pos`. Returns true when it started a download (the script position is then
// already past the line); otherwise sets `next` to where the run goes on.
bool CDownloadPage::RunLine(int pos, int& next) {
    std::string_view text(m_script.GetData(), static_cast<std::size_t>(m_script.GetLength()));
    if (static_cast<std::size_t>(pos) >= text.size()) {
        next = -1;
        return false;
    }
    int lineStart = m_script.NextLineStart(pos);
    int lineEnd = lineStart < 0 ? static_cast<int>(text.size()) : lineStart;
    next = lineStart;
    std::string_view line = text.substr(static_cast<std::size_t>(pos), static_cast<std::size_t>(lineEnd - pos));
    switch (line[0]) {
        case 'c': return RunEntry(line, lineStart);
        case 'd':
        case 'g':
        case 'n': RunHousekeeping(line); break;
        case 'f': {
            // The text may span lines: it runs to the next '>' anywhere further on.
            int start = pos + 2;
            int close = start < m_script.GetLength() ? m_script.FindChar('>', start, -1, 0) : -1;
            if (close < 0) break;  // malformed: skipped
            m_settings.CompletionText = m_script.Mid(start, close - start);
            next = m_script.NextLineStart(close);
            break;
        }
        case 's': {
            int total = 0;
            if (line.size() >= 2 && ParseScriptNumber(line.substr(2), total)) m_totalExpected = total;
            break;
        }
        default: break;
    }
    return false;
}

bool CDownloadPage::RunEntry(std::string_view line, int nextLine) {
    CStringArray fields;
    int size = 0;
    int crc = 0;
    if (!CutFields(line, 0, static_cast<int>(line.size()), 8, fields) || !ParseScriptNumber(fields[6], size) ||
        !ParseScriptNumber(fields[7], crc)) {
        FailLine(MalformedLineName(line, fields), kReasonMalformed, true);
        return false;
    }
    CString destination;
    PathRefusal refusal = ResolveInstallPath(m_files, fields[0], false, destination);
    if (refusal != PathRefusal::none) {
        FailLine(NameFromUrl(fields[1]), RefusalText(refusal), true);
        return false;
    }
    m_worker.Destination = destination;
    m_worker.URL = fields[1];
    m_worker.ExpectedSize = size;
    m_worker.ExpectedCRC = crc;
    m_worker.SkipCheck = 0;
    m_label = fields[4];
    m_version = fields[5];
    if (IsOutOfDate(m_files, m_clock, destination, fields[2], fields[3])) {
        m_scriptPos = nextLine;
        StartDownload();
        return true;
    }
    MarkComplete();
    return false;
}

void CDownloadPage::RunHousekeeping(std::string_view line) {
    CStringArray fields;
    if (!CutFields(line, 0, static_cast<int>(line.size()), 1, fields)) return;  // malformed: skipped
    CString path;
    PathRefusal refusal = ResolveInstallPath(m_files, fields[0], line[0] == 'g', path);
    if (refusal != PathRefusal::none) {
        FailLine(fields[0], RefusalText(refusal), false);
    } else if (line[0] == 'd') {
        m_files.RemoveFile(path);
    } else if (line[0] == 'n') {
        m_files.MakeFolder(path);
    } else {
        // The "./" keeps the shell from looking the name up anywhere but here.
        m_desktop.OpenItem("./" + path, platform::kShowNormal);
    }
}

std::int64_t CDownloadPage::SecondsLeft(std::int64_t remaining, DWORD received, DWORD elapsedMs) {
    if (remaining <= 0 || received == 0 || elapsedMs == 0) return 0;
    double rate = static_cast<double>(received) * 1000.0 / static_cast<double>(elapsedMs);
    double seconds = static_cast<double>(remaining) / rate + 0.5;
    // A crawling rate can make the estimate absurd; keep it inside what the display can count.
    constexpr double kLimit = 1e15;
    return static_cast<std::int64_t>(seconds < kLimit ? seconds : kLimit);
}

CString CDownloadPage::FormatTimeLeft(std::int64_t seconds) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>((seconds / 3600) % 24),
                  static_cast<int>((seconds / 60) % 60), static_cast<int>(seconds % 60));
    return text;
}

void CDownloadPage::Refresh() {
    CPageDisplay display;
    display.currentRange = m_worker.TotalSize.load();
    DWORD received = m_worker.Received.load();
    display.currentPos = received;
    display.totalRange = static_cast<DWORD>(m_totalExpected);
    display.totalPos = static_cast<DWORD>(m_totalReceived);
    m_downloadedText =
        FormatText(kDownloadedFormat, {std::to_string(m_totalReceived), std::to_string(m_totalExpected)});
    DWORD elapsed = m_clock.TickCount() - m_fileStartTick;
    std::int64_t remaining = static_cast<std::int64_t>(m_totalExpected) - m_totalReceived;
    m_timeLeftText = FormatTimeLeft(SecondsLeft(remaining, received, elapsed));
    if (!m_rows.empty() && (m_rows.back().icon == kIconBusy0 || m_rows.back().icon == kIconBusy1))
        SetLastRow(nullptr, m_clock.LocalSecond() % 2 == 0 ? kIconBusy1 : kIconBusy0);
    display.status = m_statusText;
    display.downloaded = m_downloadedText;
    display.timeLeft = m_timeLeftText;
    m_view.Show(display);
}

}  // namespace zel::updater

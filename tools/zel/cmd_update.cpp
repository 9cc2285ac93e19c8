// zel update: one whole update run without windows, through the same core as Zelupdate, with a
// text view: a row per file, progress, status and message texts, and the completion message.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/interrupts.h"
#include "platform/services.h"
#include "platform/terminal.h"
#include "tools/zel/commands.h"
#include "updater/core/completion_page.h"
#include "updater/core/download_page.h"
#include "updater/core/download_thread.h"
#include "updater/core/registry_profile.h"
#include "updater/core/update_strings.h"

namespace zel::cli {
namespace {

using namespace zel::updater;

constexpr const char* kUpdateUsage =
    "usage: zel update [--mirror URL | --region NAME] [--proxy-http HOST:PORT] [--proxy-ftp HOST:PORT]\n"
    "                  [--no-proxy] [--save-settings] [--system-root DIR]\n"
    "Runs one update from the chosen mirror (default: the stored settings) into the current folder and\n"
    "writes zelupdate.txt. The proxy options apply to this run only unless --save-settings stores them.\n"
    "The settings live in the registry of the system root: --system-root DIR, else $ZEL_SYSTEM_ROOT,\n"
    "else the private tree of `zel system info`.\n"
    "Each failed file's reason goes to standard error, and the last line there counts them.\n"
    "Exit status: 0 finished, 1 some file failed, 2 the update script could not be fetched, the run\n"
    "was interrupted (Ctrl-C stops the transfer and removes its temporary file), or the settings\n"
    "could not be stored.\n";

constexpr int kBarWidth = 20;
constexpr std::chrono::milliseconds kRedrawInterval{100};
constexpr std::chrono::milliseconds kInterruptPoll{50};

const char* RowState(int icon) {
    switch (icon) {
        case kIconUpdated: return "updated";
        case kIconComplete: return "up to date";
        case kIconFailed: return "";  // the size column already says "failed"
        default: return "";
    }
}

// Whether the script's total still holds: it names one, and the run has not outgrown it (the script
// itself counts in, and a script may promise less than it sends).
bool TotalHolds(DWORD received, DWORD expected) { return expected != 0 && received <= expected; }

// The bytes of the run so far, with the time left while the total holds, else alone.
std::string ProgressText(const CPageDisplay& display) {
    if (!TotalHolds(display.totalPos, display.totalRange))
        return "Downloaded " + std::to_string(display.totalPos) + " bytes";
    return "Downloaded " + std::to_string(display.totalPos) + " of " + std::to_string(display.totalRange) + ", " +
           display.timeLeft + " left";
}

// How full the bar is, 0 to kBarWidth: the run's share when its total holds, else the current file's.
int BarFill(const CPageDisplay& display) {
    auto share = [](DWORD pos, DWORD range) {
        return static_cast<int>(static_cast<double>(pos) / static_cast<double>(range) * kBarWidth);
    };
    if (TotalHolds(display.totalPos, display.totalRange)) return share(display.totalPos, display.totalRange);
    if (TotalHolds(display.currentPos, display.currentRange)) return share(display.currentPos, display.currentRange);
    return 0;
}

// Prints an update run. On a terminal (`columns` set) one progress bar is redrawn in place; it is
// wiped before any other text is printed and drawn again afterwards, so it never leaves copies behind
// and never shares a line with a message. Elsewhere a plain progress line is printed once a second.
class TextView final : public CDownloadPageView, public CCompletionPageView {
public:
    explicit TextView(std::optional<int> columns) : m_columns(columns) {}

    void SetWizardButtons(DWORD) override {}
    void RowsCleared() override {}
    void RowAdded(const CFileRow& row) override { PrintRowIfFinal(row); }
    void RowChanged(std::size_t, const CFileRow& row) override { PrintRowIfFinal(row); }
    void Show(const CPageDisplay& display) override {
        if (!display.status.empty() && display.status != m_lastStatus) {
            WipeBar();
            std::printf("%s\n", display.status.c_str());
            std::fflush(stdout);
        }
        m_lastStatus = display.status;
        m_display = display;
        // The page refreshes once per 2,048-byte block; a terminal needs far fewer redraws.
        auto now = std::chrono::steady_clock::now();
        if (m_columns && m_page == 1 && (!m_barShown || now - m_lastDraw >= kRedrawInterval)) {
            DrawBar();
            m_lastDraw = now;
        }
    }
    void ShowModalMessage(const CString& text) override {
        WipeBar();
        std::fflush(stdout);
        std::fprintf(stderr, "zel: %s\n", text.c_str());
    }
    void SetActivePage(int index) override { m_page = index; }
    void KillTimer() override { m_timer = false; }
    void ShowMessage(const CString& message) override {
        WipeBar();
        std::printf("\n%s\n", message.c_str());
    }
    void ShowFailure(const CString& headline, const CString& failure, const CString& completionText) override {
        WipeBar();
        std::printf("\n%s\n%s\n", headline.c_str(), failure.c_str());
        if (!completionText.empty()) std::printf("\n%s\n", completionText.c_str());
    }
    void HideDetails() override {}

    // Once a second: a plain progress line when the output is not a terminal.
    void Tick() {
        if (m_columns || m_display.totalPos == m_lastPrintedTotal) return;
        m_lastPrintedTotal = m_display.totalPos;
        std::printf("%s\n", ProgressText(m_display).c_str());
        std::fflush(stdout);  // a reader of a pipe or a log file sees the progress as it happens
    }

    int Page() const { return m_page; }
    bool TimerRunning() const { return m_timer; }

private:
    void PrintRowIfFinal(const CFileRow& row) {
        if (row.icon < kIconUpdated) return;
        WipeBar();
        std::printf("  %-32s %12s  %s\n", row.name.c_str(), row.size.c_str(), RowState(row.icon));
        if (row.icon == kIconFailed) {
            std::fflush(stdout);
            std::fprintf(stderr, "zel: %s: %s\n", row.name.c_str(), row.reason.c_str());
        }
    }
    void DrawBar() {
        int filled = BarFill(m_display);
        std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                           std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                           ProgressText(m_display);
        // A line that wraps could not be taken back with a carriage return.
        line.resize(std::min(line.size(), static_cast<std::size_t>(std::max(*m_columns - 1, 1))));
        std::printf("\r%s\033[K", line.c_str());
        std::fflush(stdout);
        m_barShown = true;
    }
    void WipeBar() {
        if (!m_barShown) return;
        std::printf("\r\033[K");
        m_barShown = false;
    }

    std::optional<int> m_columns;
    bool m_barShown = false;
    bool m_timer = true;
    int m_page = 1;
    DWORD m_lastPrintedTotal = 0;
    CString m_lastStatus;
    CPageDisplay m_display;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// "HOST:PORT" into its parts, or Failure.
void ParseProxy(const std::string& text, const std::string& option, CString& host, int& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) throw Failure{option + " needs HOST:PORT, got " + text};
    long long number = ParseNumber(text.substr(colon + 1), option + " port");
    if (number < 0 || number > 65535) throw Failure{option + " port out of range: " + text};
    host = text.substr(0, colon);
    port = static_cast<int>(number);
}

void ApplyOptions(Args& args, CUpdateSettings& settings) {
    auto mirror = args.TakeOption("--mirror");
    auto region = args.TakeOption("--region");
    if (mirror && region) throw Failure{"give --mirror or --region, not both"};
    if (mirror) {
        settings.URL = *mirror;
        while (!settings.URL.empty() && settings.URL.back() == '/') settings.URL.pop_back();
    }
    if (region) {
        const CMirror* found = nullptr;
        for (const auto& entry : settings.Mirrors)
            if (entry.Name == *region) found = &entry;
        if (!found) throw Failure{"no configured mirror is named " + *region};
        settings.URL = found->URL;
    }
    if (auto proxy = args.TakeOption("--proxy-http")) {
        ParseProxy(*proxy, "--proxy-http", settings.HTTPProxy, settings.HTTPPort);
        settings.UseProxySettings = 1;
    }
    if (auto proxy = args.TakeOption("--proxy-ftp")) {
        ParseProxy(*proxy, "--proxy-ftp", settings.FTPProxy, settings.FTPPort);
        settings.UseProxySettings = 1;
    }
    if (args.TakeFlag("--no-proxy")) settings.UseProxySettings = 0;
    if (settings.URL.empty()) throw Failure{"no mirror is configured; give --mirror URL or --region NAME"};
}

// Runs the download page until it hands over to another page; the timer ticks once a second.
// False when an interrupt cancelled the run: the page then stopped the worker, which removes its
// temporary file before it ends.
bool RunDownloadPage(CDownloadPage& page, CMessageQueue& window, TextView& view,
                     const platform::ScopedInterruptWatch& interrupts) {
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + std::chrono::seconds(1);
    page.OnSetActive();
    while (view.Page() == 1) {
        if (interrupts.Requested()) {
            page.OnCancel();
            return false;
        }
        // Short waits, so that Ctrl-C is seen at once even while nothing arrives.
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
        window.Dispatch([&](const CMessage& message) { page.OnMessage(message); },
                        std::clamp(wait, std::chrono::milliseconds(0), kInterruptPoll));
        if (Clock::now() >= nextTick) {
            nextTick += std::chrono::seconds(1);
            if (view.TimerRunning() && view.Page() == 1) {
                page.OnMessage({kTimerMessage, 1, 0});
                view.Tick();
            }
        }
    }
    return true;
}

}  // namespace

int RunUpdate(Args args) {
    if (args.TakeFlag("--help") || args.TakeFlag("-h")) {
        std::fputs(kUpdateUsage, stdout);
        return kOk;
    }
    std::unique_ptr<platform::SystemRoot> root = TakeSystemRoot(args);
    platform::ScopedServices services(platform::Services{.system_root = root.get()});
    CRegistryProfile profile;
    CUpdateApp app(platform::SystemDesktop(), profile);
    app.LoadSettings();
    ApplyOptions(args, app.m_settings);
    bool save = args.TakeFlag("--save-settings");
    if (!args.Positionals().empty()) throw Failure{"zel update takes no file names (try --help)"};

    TextView view(platform::TerminalColumns(STDOUT_FILENO));
    CMessageQueue window;
    int status = kOk;
    {
        // Watched until the worker has ended, so that a second interrupt cannot cut its clean-up.
        platform::ScopedInterruptWatch interrupts;
        CQVDownloadThread worker(platform::SystemInternet(), platform::SystemFileSystem());
        CDownloadPage page(app, worker, window, view, platform::SystemClock(), platform::SystemFileSystem(),
                           platform::SystemDesktop());
        bool finished = RunDownloadPage(page, window, view, interrupts);
        // Release a worker that may still wait on a sent notification, then let it end.
        window.Close();
        if (!finished) view.ShowModalMessage("update cancelled");
        if (view.Page() != 2) status = kError;
    }
    if (status == kOk) {
        CCompletionPage completion(app, view);
        completion.m_bRunScanner = 0;
        completion.OnSetActive();
        if (int failed = app.m_settings.FailedCount; failed > 0) {
            view.ShowModalMessage(std::to_string(failed) + (failed == 1 ? " file failed" : " files failed"));
            status = kFound;
        }
    }
    if (save && !app.SaveSettings()) {
        platform::Registry* registry = platform::CurrentServices().registry;
        std::string reason = registry ? registry->WriteRefusal() : std::string();
        std::fprintf(stderr, "zel: the settings could not be stored%s%s\n", reason.empty() ? "" : ": ", reason.c_str());
        status = kError;
    }
    return status;
}

}  // namespace zel::cli

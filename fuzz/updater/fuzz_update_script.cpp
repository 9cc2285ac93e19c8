// Any bytes as the fetched update script. The page runs it against a fake worker that answers each
// download with success or one of the failures (chosen by the input), and fakes of the file system
// and the desktop, so nothing on disk is touched. Checks that no request names a
// destination or URL that a well-formed line could not have produced, and that every path handed on
// stays inside the install folder.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fakes.h"
#include "updater/core/download_thread.h"

using namespace zel::updater;
using namespace zel::updater::test;

namespace {

// A field of a well-formed line ends at its line's first '>' after it: it holds neither '>' nor a
// line feed.
void CheckField(const std::string& field) {
    if (field.find('\n') != std::string::npos || field.find('>') != std::string::npos) std::abort();
}

// A path inside the install folder: relative, "/"-separated, without empty, "." or ".." parts.
void CheckInside(const std::string& path) {
    CheckField(path);
    if (path.empty() || path.find('\\') != std::string::npos || path.find('\0') != std::string::npos) std::abort();
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) std::abort();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") std::abort();
        start = end + 1;
    }
}

void CheckRequest(const FakeWorker& worker) {
    CheckInside(worker.Destination);
    CheckField(worker.URL);
}

void CheckHousekeeping(const FakeFileSystem& files, const FakeDesktop& desktop) {
    for (const auto& path : files.removed) CheckInside(path);
    for (const auto& path : files.made) CheckInside(path);
    for (const auto& item : desktop.opened) {
        if (item.first.rfind("./", 0) != 0 || !files.times.count(item.first.substr(2))) std::abort();
        CheckInside(item.first.substr(2));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FakeWorker worker;
    FakePageView view;
    FakeClock clock;
    FakeFileSystem files;
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app(desktop, profile);
    CMessageQueue window;
    CDownloadPage page(app, worker, window, view, clock, files, desktop);
    app.m_settings.URL = "http://mirror.test";
    // Installed files: every other path exists, with a time that depends on the path.
    for (std::size_t i = 0; i + 1 < size && i < 64; i += 8)
        files.times[std::string(reinterpret_cast<const char*>(data) + i, 1)] = static_cast<std::int64_t>(data[i + 1])
                                                                               << 24;

    page.OnSetActive();
    page.OnConnected();
    files.contents["index.lst"].assign(reinterpret_cast<const char*>(data), size);
    worker.Received = static_cast<DWORD>(size);
    page.OnMessage({WM_DL_PROGRESS, 0, static_cast<std::intptr_t>(size)});
    page.OnMessage({WM_DL_DONE, 0, static_cast<std::intptr_t>(size)});

    static const UINT kOutcomes[] = {0, kErrorOpenUrl, kErrorTempFile, kErrorRead, kErrorCheck};
    std::size_t step = 0;
    while (!page.Finished() && !worker.posted.empty() && worker.posted.back() == WM_DL_DOWNLOAD) {
        CheckRequest(worker);
        worker.posted.clear();
        UINT outcome = kOutcomes[(size ? data[step % size] : 0) % 5];
        ++step;
        clock.ticks += 700;
        clock.second = static_cast<int>(step % 60);
        if (outcome == 0) {
            worker.TotalSize = static_cast<DWORD>(step * 100);
            worker.Received = static_cast<DWORD>(step * 100);
            page.OnMessage({WM_DL_STARTED, 0, 0});
            page.OnMessage({WM_DL_PROGRESS, 0, static_cast<std::intptr_t>(step * 100)});
            page.OnMessage({kTimerMessage, 1, 0});
            page.OnMessage({WM_DL_DONE, 0, 0});
        } else {
            worker.SetErrorText("failure");
            page.OnMessage({WM_DL_ERROR, outcome, 0});
        }
    }
    if (!page.Finished()) std::abort();  // every script ends once its downloads have ended
    CheckHousekeeping(files, desktop);
    return 0;
}

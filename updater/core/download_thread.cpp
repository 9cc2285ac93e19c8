#include "updater/core/download_thread.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "fileio/file.h"
#include "framework/crc32.h"
#include "updater/core/update_strings.h"

namespace zel::updater {
namespace {

// How long the thread waits for its next request before looking again (it always wakes on one).
constexpr std::chrono::milliseconds kIdleWait{1000};

// An unchecked download (the update script) has no promised size. A script is text read whole into
// memory; no real one comes near this, and a server that sends more is refused before it fills the
// disk or the memory.
constexpr DWORD kMaxUncheckedSize = 16u << 20;

constexpr std::size_t kCheckPieceSize = 64 * 1024;

// Removes a temporary download through the file system when it goes out of scope.
class TempDownload {
public:
    TempDownload(platform::FileSystem& files, std::string path) : m_files(files), m_path(std::move(path)) {}
    ~TempDownload() {
        if (!m_path.empty()) m_files.RemoveFile(m_path);
    }
    TempDownload(const TempDownload&) = delete;
    TempDownload& operator=(const TempDownload&) = delete;
    const std::string& path() const { return m_path; }

private:
    platform::FileSystem& m_files;
    std::string m_path;
};

}  // namespace

CQVDownloadThread::CQVDownloadThread(platform::Internet& internet, platform::FileSystem& files)
    : m_internet(internet), m_files(files), m_buffer{}, m_thread([this] { Run(); }) {}

CQVDownloadThread::~CQVDownloadThread() {
    Post(WM_DL_STOP);
    if (m_thread.joinable()) m_thread.join();
}

void CQVDownloadThread::Post(UINT message) {
    if (message == WM_DL_STOP || message == kQuitMessage) m_stop = true;
    m_queue.Post({message, 0, 0});
}

void CQVDownloadThread::Run() {
    bool running = true;
    while (running) {
        m_queue.Dispatch(
            [&](const CMessage& message) {
                switch (message.message) {
                    case WM_DL_CONNECT: Connect(); break;
                    case WM_DL_DOWNLOAD: Download(); break;
                    case WM_DL_STOP:
                    case kQuitMessage: running = false; break;
                    default: break;
                }
            },
            kIdleWait);
    }
    m_session.reset();
    m_queue.Close();
    m_ended = true;
}

void CQVDownloadThread::Notify(UINT message, std::uintptr_t wParam, std::intptr_t lParam, bool send) {
    if (!m_pMainWnd) return;
    if (send)
        m_pMainWnd->Send({message, wParam, lParam});
    else
        m_pMainWnd->Post({message, wParam, lParam});
}

void CQVDownloadThread::Connect() {
    m_session.reset();
    std::optional<std::string> scheme = m_internet.UrlScheme(URL);
    if (!scheme) {
        SetErrorText(LoadUpdateString(IDS_INVALID_URL));
        Fail(kErrorBadUrl, false);
        return;
    }
    platform::InternetAccess access;
    if (*scheme == "ftp")
        access.proxy = FTPProxy + ":" + std::to_string(FTPPort);
    else
        access.proxy = HTTPProxy + ":" + std::to_string(HTTPPort);
    access.useProxy = UseProxy != 0;
    if (!access.useProxy) access.proxy.clear();
    access.stop = &m_stop;
    std::string error;
    m_session = m_internet.OpenSession(Agent, access, error);
    if (!m_session) {
        SetErrorText(error);
        Fail(kErrorSession);
        return;
    }
    Notify(WM_DL_CONNECTED, 0, 0, true);
}

bool CQVDownloadThread::StopRequested() { return m_stop.load(); }

void CQVDownloadThread::Download() {
    InstallFailed = false;
    std::string error;
    std::unique_ptr<platform::InternetFile> resource;
    if (m_session)
        resource = m_session->OpenUrl(URL, error);
    else
        error = "No connection to the server";
    if (!resource) {
        if (StopRequested()) return;  // abort: no notification, the stop is handled next
        SetErrorText(error);
        Fail(kErrorOpenUrl);
        return;
    }
    TempDownload temp(m_files, m_files.CreateTempFile("zsu"));
    CFile out;
    if (temp.path().empty() || !out.Open(temp.path(), CFile::modeWrite | CFile::modeCreate)) {
        FailWith(kErrorTempFile, "cannot create a temporary file in " + m_files.TempFileFolder());
        return;
    }
    TotalSize = 0;
    std::optional<std::uint64_t> length = resource->Length();
    TotalSize = length ? static_cast<DWORD>(*length) : static_cast<DWORD>(ExpectedSize);
    Notify(WM_DL_STARTED, 0, static_cast<std::intptr_t>(TotalSize.load()), false);

    Received = 0;
    long n = 0;
    do {
        n = resource->Read(m_buffer, sizeof m_buffer, error);
        if (n > 0) {
            try {
                out.Write(m_buffer, static_cast<UINT>(n));
            } catch (const CFileException& e) {
                error = e.What();
                n = -1;
            }
        }
        if (n < 0) {
            // The temporary file and the resource are released on leaving.
            if (StopRequested()) return;
            SetErrorText(error);
            Fail(kErrorRead);
            return;
        }
        if (n > 0) {
            Received += static_cast<DWORD>(n);
            Notify(WM_DL_PROGRESS, 0, n, false);
        }
        if (StopRequested()) return;  // abort: no notification, the stop is handled next
        // A file that has outgrown its promised size can only fail the check: stop receiving it
        // rather than let a hostile server fill the disk.
        if (!SkipCheck && (ExpectedSize < 0 || Received.load() > static_cast<DWORD>(ExpectedSize))) break;
        if (SkipCheck && Received.load() > kMaxUncheckedSize) {
            FailWith(kErrorCheck, "size mismatch: more than " + std::to_string(kMaxUncheckedSize) + " bytes");
            return;
        }
    } while (n > 0);

    try {
        out.Close();
    } catch (const CFileException& e) {
        FailWith(kErrorCheck, e.What());
        return;
    }
    resource.reset();
    if (!SkipCheck) {
        CString mismatch = CheckReceivedFile(temp.path());
        if (!mismatch.empty()) {
            FailWith(kErrorCheck, mismatch);
            return;
        }
    }
    std::string installError;
    if (!m_files.InstallFile(temp.path(), Destination, installError)) {
        InstallFailed = true;
        FailWith(kErrorCheck, installError);
        return;
    }
    Notify(WM_DL_DONE, 0, static_cast<std::intptr_t>(Received.load()), false);
}

CString CQVDownloadThread::CheckReceivedFile(const std::string& path) const {
    CFile file;
    if (!file.Open(path, CFile::modeRead)) return "cannot read the received file";
    try {
        std::uint64_t length = file.GetLength();
        if (ExpectedSize < 0 || length != static_cast<std::uint64_t>(ExpectedSize))
            return "size mismatch: expected " + std::to_string(ExpectedSize) + " bytes, received " +
                   std::to_string(length);
        // Checked in pieces: a download need not fit in memory twice.
        std::vector<BYTE> piece(kCheckPieceSize);
        DWORD crc = 0;
        for (std::uint64_t left = length; left > 0;) {
            UINT got = file.Read(piece.data(), static_cast<UINT>(std::min<std::uint64_t>(left, piece.size())));
            if (got == 0) return "cannot read the received file";
            crc = zel::Crc32(piece.data(), got, crc);
            left -= got;
        }
        if (crc == static_cast<DWORD>(ExpectedCRC)) return {};
        char text[64];
        std::snprintf(text, sizeof text, "CRC mismatch: expected %08X, received %08X",
                      static_cast<unsigned>(static_cast<DWORD>(ExpectedCRC)), static_cast<unsigned>(crc));
        return text;
    } catch (const CFileException& e) {
        return e.What();
    } catch (const std::bad_alloc&) {
        return "not enough memory to check the received file";
    }
}

}  // namespace zel::updater

// The Internet transport over WinInet. WinInet's calls block, and a blocked call cannot be relied on
// to end when its handle is closed, so each opened URL is worked by a thread of its own that reads
// ahead into a small buffer: the caller waits for that buffer in steps of a tenth of a second,
// looking at the stop flag and the speed floor between them, and walks away from a transfer that it
// gives up on. The thread then ends at its next chance (WinInet's own time-outs bound the wait) and
// closes the handles itself, so that no handle is ever closed under a call that still uses it.
#include "platform/win32/windows_api.h"
// After <windows.h>, which it needs.
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <mutex>
#include <thread>

#include "platform/internet.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kConnectTimeoutMs = 30000;
constexpr auto kPoll = std::chrono::milliseconds(100);
// How far a transfer reads ahead of its caller.
constexpr std::size_t kReadAhead = 64 * 1024;
constexpr DWORD kBlock = 16 * 1024;

// WinInet's message for its own error codes (from wininet.dll), the server's last answer for an
// extended error, the system's message for any other code.
std::string InternetErrorText(DWORD code) {
    if (code == ERROR_INTERNET_EXTENDED_ERROR) {
        DWORD detail = 0, length = 0;
        InternetGetLastResponseInfoW(&detail, nullptr, &length);
        std::wstring text(length + 1, L'\0');
        if (length && InternetGetLastResponseInfoW(&detail, text.data(), &length)) {
            text.resize(length);
            while (!text.empty() && std::iswspace(text.back())) text.pop_back();
            return win32::Utf8FromWide(text);
        }
    }
    if (code >= INTERNET_ERROR_BASE && code <= INTERNET_ERROR_LAST) {
        wchar_t* message = nullptr;
        const DWORD length =
            FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"wininet.dll"), code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
        std::string text = length ? win32::Utf8FromWide(std::wstring_view(message, length)) : std::string();
        if (message) LocalFree(message);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
        return (text.empty() ? std::string("Internet error") : text) + " (" + std::to_string(code) + ")";
    }
    return win32::SystemErrorText(code);
}

// A WinInet handle, closed when the last owner lets go.
using SharedHandle = std::shared_ptr<void>;
SharedHandle Share(HINTERNET handle) {
    return SharedHandle(handle, [](void* h) {
        if (h) InternetCloseHandle(h);
    });
}

// An HTTP header of the response as text ("" when it has none).
std::wstring HttpHeader(HINTERNET request, DWORD which) {
    DWORD length = 0;
    HttpQueryInfoW(request, which, nullptr, &length, nullptr);
    if (length == 0) return {};
    std::wstring text(length / sizeof(wchar_t) + 1, L'\0');
    if (!HttpQueryInfoW(request, which, text.data(), &length, nullptr)) return {};
    text.resize(length / sizeof(wchar_t));
    return text;
}

// What the caller and the thread that works one URL share; guarded by `mutex`.
struct Transfer {
    std::mutex mutex;
    std::condition_variable changed;
    bool opened = false;     // the URL is open; `length` is known
    bool done = false;       // nothing more will come (`error` says whether it ended well)
    bool abandoned = false;  // the caller gave up: end at the next chance
    std::string error;
    std::optional<std::uint64_t> length;
    std::string pending;  // received, not yet handed out
    std::uint64_t received = 0;

    void Finish(std::string why) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!done) error = std::move(why);
        done = true;
        changed.notify_all();
    }
};

// Opens the URL and reads it into the transfer's buffer until it ends, fails or is abandoned.
void Work(const std::shared_ptr<Transfer>& transfer, const SharedHandle& session, const std::wstring& url, bool ftp) {
    const DWORD flags = INTERNET_FLAG_TRANSFER_BINARY | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                        INTERNET_FLAG_PASSIVE;
    // One request a connection: Wine would hand a later request of the process a connection kept
    // open for an earlier one, even when that went to another server than the one now asked for.
    const wchar_t* headers = ftp ? nullptr : L"Connection: close\r\n";
    HINTERNET opened = InternetOpenUrlW(session.get(), url.c_str(), headers, headers ? DWORD(-1) : 0, flags, 0);
    if (!opened) return transfer->Finish(InternetErrorText(GetLastError()));
    SharedHandle request = Share(opened);
    std::optional<std::uint64_t> length;
    if (ftp) {
        // Wine's FtpGetFileSize always answers 0: a size of 0 counts as none told, and the caller
        // falls back on the size it expects.
        DWORD high = 0;
        const DWORD low = FtpGetFileSize(opened, &high);
        if (low != INVALID_FILE_SIZE && (low || high)) length = (std::uint64_t{high} << 32) | low;
    } else {
        const std::wstring status = HttpHeader(opened, HTTP_QUERY_STATUS_CODE);
        if (status.empty() || status[0] >= L'4') {
            return transfer->Finish("The server answered " + win32::Utf8FromWide(status) + " " +
                                    win32::Utf8FromWide(HttpHeader(opened, HTTP_QUERY_STATUS_TEXT)));
        }
        const std::wstring size = HttpHeader(opened, HTTP_QUERY_CONTENT_LENGTH);
        if (!size.empty() && size.size() < 20 && size.find_first_not_of(L"0123456789") == std::wstring::npos)
            length = std::stoull(size);
    }
    {
        std::lock_guard<std::mutex> lock(transfer->mutex);
        transfer->opened = true;
        transfer->length = length;
        transfer->changed.notify_all();
    }
    std::string block(kBlock, '\0');
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(transfer->mutex);
            transfer->changed.wait(lock, [&] { return transfer->abandoned || transfer->pending.size() < kReadAhead; });
            if (transfer->abandoned) return transfer->Finish("");
        }
        DWORD count = 0;
        if (!InternetReadFile(opened, block.data(), kBlock, &count))
            return transfer->Finish(InternetErrorText(GetLastError()));
        if (count == 0) return transfer->Finish("");
        std::lock_guard<std::mutex> lock(transfer->mutex);
        transfer->pending.append(block.data(), count);
        transfer->received += count;
        transfer->changed.notify_all();
    }
}

class WinInetFile final : public InternetFile {
public:
    WinInetFile(const InternetAccess& access, const SharedHandle& session, const std::wstring& url, bool ftp)
        : m_access(access), m_transfer(std::make_shared<Transfer>()) {
        std::thread([transfer = m_transfer, session, url, ftp] { Work(transfer, session, url, ftp); }).detach();
    }
    ~WinInetFile() override {
        std::lock_guard<std::mutex> lock(m_transfer->mutex);
        m_transfer->abandoned = true;
        m_transfer->changed.notify_all();
    }
    WinInetFile(const WinInetFile&) = delete;
    WinInetFile& operator=(const WinInetFile&) = delete;

    // Waits until the URL is open; false with `error` set when it cannot be.
    bool Open(std::string& error) {
        std::unique_lock<std::mutex> lock(m_transfer->mutex);
        while (!m_transfer->opened) {
            if (m_transfer->done) {
                error = m_transfer->error;
                return false;
            }
            if (GiveUp(error)) return false;
            m_transfer->changed.wait_for(lock, kPoll);
        }
        return true;
    }

    std::optional<std::uint64_t> Length() const override { return m_transfer->length; }

    long Read(void* buffer, std::size_t count, std::string& error) override {
        std::unique_lock<std::mutex> lock(m_transfer->mutex);
        for (;;) {
            std::string& pending = m_transfer->pending;
            if (!pending.empty()) {
                const std::size_t n = std::min({count, pending.size(), std::size_t{0x7FFFFFFF}});
                pending.copy(static_cast<char*>(buffer), n);
                pending.erase(0, n);
                m_transfer->changed.notify_all();
                return static_cast<long>(n);
            }
            if (m_transfer->done) {
                if (m_transfer->error.empty()) return 0;
                error = m_transfer->error;
                return -1;
            }
            if (GiveUp(error)) return -1;
            m_transfer->changed.wait_for(lock, kPoll);
        }
    }

private:
    // True, with the reason, when the caller stops or the transfer has been slower than the floor
    // for the whole last window. Called with the transfer's mutex held.
    bool GiveUp(std::string& error) {
        if (m_access.stop && m_access.stop->load()) {
            error = "Stopped";
            return true;
        }
        const auto now = Clock::now();
        const auto window = std::chrono::seconds(std::max(1L, m_access.lowSpeedSeconds));
        if (now - m_windowStart < window) return false;
        const std::uint64_t bytes = m_transfer->received - m_windowBytes;
        if (bytes < static_cast<std::uint64_t>(std::max(0L, m_access.lowSpeedFloorBytes)) *
                        static_cast<std::uint64_t>(window.count())) {
            error = "Operation too slow: less than " + std::to_string(m_access.lowSpeedFloorBytes) +
                    " bytes a second for " + std::to_string(window.count()) + " seconds";
            return true;
        }
        m_windowStart = now;
        m_windowBytes = m_transfer->received;
        return false;
    }

    InternetAccess m_access;
    std::shared_ptr<Transfer> m_transfer;
    Clock::time_point m_windowStart = Clock::now();
    std::uint64_t m_windowBytes = 0;
};

// The scheme of an absolute URL with a host, in lower case; "" otherwise.
std::string SchemeOf(const std::wstring& url) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    if (url.empty() || !InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        parts.dwHostNameLength == 0 || parts.dwSchemeLength == 0) {
        return "";
    }
    std::string scheme = win32::Utf8FromWide(std::wstring_view(parts.lpszScheme, parts.dwSchemeLength));
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme;
}

class WinInetSession final : public InternetSession {
public:
    WinInetSession(SharedHandle session, const InternetAccess& access)
        : m_session(std::move(session)), m_access(access) {}

    std::unique_ptr<InternetFile> OpenUrl(const std::string& url, std::string& error) override {
        const auto wide = win32::WideFromUtf8(url);
        const std::string scheme = wide ? SchemeOf(*wide) : "";
        // Only network schemes: a script must not be able to read local files through a URL.
        if (scheme != "http" && scheme != "https" && scheme != "ftp") {
            error = "Unsupported or malformed URL: " + url;
            return nullptr;
        }
        auto file = std::make_unique<WinInetFile>(m_access, m_session, *wide, scheme == "ftp");
        if (!file->Open(error)) return nullptr;
        return file;
    }

private:
    SharedHandle m_session;
    InternetAccess m_access;
};

class WinInetTransport final : public Internet {
public:
    std::optional<std::string> UrlScheme(const std::string& url) override {
        const auto wide = win32::WideFromUtf8(url);
        std::string scheme = wide ? SchemeOf(*wide) : "";
        if (scheme.empty()) return std::nullopt;
        return scheme;
    }

    std::unique_ptr<InternetSession> OpenSession(const std::string& agent, const InternetAccess& access,
                                                 std::string& error) override {
        const auto wide_agent = win32::WideFromUtf8(agent);
        const auto proxy = win32::WideFromUtf8(access.proxy);
        if (!wide_agent || !proxy) {
            error = "The agent name or the proxy is not valid text";
            return nullptr;
        }
        // A named proxy serves every scheme (FTP goes to it as a URL, the way of CERN proxies), with
        // no bypass list of ours.
        HINTERNET handle =
            access.useProxy ? InternetOpenW(wide_agent->c_str(), INTERNET_OPEN_TYPE_PROXY, proxy->c_str(), nullptr, 0)
                            : InternetOpenW(wide_agent->c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (!handle) {
            error = InternetErrorText(GetLastError());
            return nullptr;
        }
        // A stalled server is given up by the caller at once; these bound how long the thread that
        // works the transfer may stay behind.
        DWORD connect = kConnectTimeoutMs;
        DWORD receive = static_cast<DWORD>(std::clamp(access.lowSpeedSeconds, 1L, 3600L) * 1000);
        InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
        for (DWORD option : {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT}) {
            InternetSetOptionW(handle, option, &receive, sizeof receive);
        }
        return std::make_unique<WinInetSession>(Share(handle), access);
    }
};

}  // namespace

Internet& WinInetInternet() {
    static WinInetTransport transport;
    return transport;
}

Internet& SystemInternet() { return WinInetInternet(); }

}  // namespace zel::platform

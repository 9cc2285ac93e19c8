#include "updater/core/download_thread.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "framework/crc32.h"
#include "network_fixture.h"
#include "platform/files.h"
#include "platform/internet.h"

namespace zel::updater::test {
namespace {

bool IsFinal(UINT request, const CMessage& m) {
    if (m.message == WM_DL_ERROR) return true;
    return request == WM_DL_CONNECT ? m.message == WM_DL_CONNECTED : m.message == WM_DL_DONE;
}

class DownloadThreadTest : public NetworkTest {
protected:
    DownloadThreadTest() : worker(platform::CurlInternet(), platform::SystemFileSystem()) {
        worker.m_pMainWnd = &window;
        worker.Agent = "Zelupdate";
        worker.SkipCheck = 1;
    }
    ~DownloadThreadTest() override { window.Close(); }

    // Posts `request` and collects the notifications up to its final one.
    std::vector<CMessage> Request(UINT request) {
        std::vector<CMessage> seen;
        worker.Post(request);
        bool finished = Pump([&](const CMessage& m) { seen.push_back(m); },
                             [&] { return !seen.empty() && IsFinal(request, seen.back()); });
        EXPECT_TRUE(finished) << "no final notification";
        return seen;
    }

    // Connects to `base` and fetches `url` into work/`name`.
    std::vector<CMessage> Fetch(const std::string& base, const std::string& url, const std::string& name) {
        worker.URL = base;
        auto connected = Request(WM_DL_CONNECT);
        EXPECT_EQ(connected.back().message, WM_DL_CONNECTED);
        worker.URL = url;
        worker.Destination = work + "/" + name;
        return Request(WM_DL_DOWNLOAD);
    }

    void ExpectChecked(const std::string& content) {
        worker.SkipCheck = 0;
        worker.ExpectedSize = static_cast<int>(content.size());
        worker.ExpectedCRC = static_cast<int>(Crc32(content.data(), content.size()));
    }

    static DWORD ProgressSum(const std::vector<CMessage>& seen, int* blocks = nullptr) {
        DWORD sum = 0;
        int n = 0;
        for (const auto& m : seen) {
            if (m.message != WM_DL_PROGRESS) continue;
            EXPECT_LE(m.lParam, 2048);
            sum += static_cast<DWORD>(m.lParam);
            ++n;
        }
        if (blocks) *blocks = n;
        return sum;
    }

    CQVDownloadThread worker;
};

TEST(Crc32Test, KnownValues) {
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
}

TEST_F(DownloadThreadTest, HttpFileIsReceivedInBlocksCheckedAndInstalled) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string content = PatternBytes(5000, 1);
    WriteFile(mirror + "/file.bin", content);
    WriteFile(work + "/file.bin", "old");
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    ExpectChecked(content);
    auto seen = Fetch(base, base + "/file.bin", "file.bin");
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen.front().message, WM_DL_STARTED);
    EXPECT_EQ(seen.front().lParam, 5000);
    int blocks = 0;
    EXPECT_EQ(ProgressSum(seen, &blocks), 5000u);
    EXPECT_GE(blocks, 3);
    EXPECT_EQ(seen.back().message, WM_DL_DONE);
    EXPECT_EQ(seen.back().lParam, 5000);
    EXPECT_EQ(worker.TotalSize.load(), 5000u);
    EXPECT_EQ(ReadBytes(work + "/file.bin"), content);
    worker.Post(WM_DL_STOP);
    ASSERT_TRUE(Pump([](const CMessage&) {}, [&] { return worker.HasEnded(); }));
    EXPECT_TRUE(TempLeftovers().empty());
}

TEST_F(DownloadThreadTest, BlockSizedFileAndFileWithoutLength) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string content = PatternBytes(2048, 2);
    WriteFile(mirror + "/block.bin", content);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    int blocks = 0;
    auto seen = Fetch(base, base + "/block.bin", "block.bin");
    EXPECT_EQ(ProgressSum(seen, &blocks), 2048u);
    EXPECT_EQ(blocks, 1);
    EXPECT_EQ(seen.back().message, WM_DL_DONE);

    worker.ExpectedSize = 1234;  // unchecked, but it stands in for the unknown size
    worker.Destination = work + "/nolength.bin";
    worker.URL = base + "/nolength/block.bin";
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.front().message, WM_DL_STARTED);
    EXPECT_EQ(seen.front().lParam, 1234);
    EXPECT_EQ(seen.back().message, WM_DL_DONE);
    EXPECT_EQ(ReadBytes(work + "/nolength.bin"), content);
}

TEST_F(DownloadThreadTest, FailuresLeaveTheDestinationAndNoTemporaryFile) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string content = PatternBytes(20000, 3);
    WriteFile(mirror + "/file.bin", content);
    WriteFile(work + "/file.bin", "installed");
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());

    auto seen = Fetch(base, base + "/missing/file.bin", "file.bin");
    ASSERT_EQ(seen.back().message, WM_DL_ERROR);
    EXPECT_EQ(seen.back().wParam, kErrorOpenUrl);
    EXPECT_NE(worker.GetErrorText().find("404"), std::string::npos) << worker.GetErrorText();

    worker.URL = base + "/drop/file.bin";
    seen = Request(WM_DL_DOWNLOAD);
    ASSERT_EQ(seen.back().message, WM_DL_ERROR);
    EXPECT_EQ(seen.back().wParam, kErrorRead);
    EXPECT_FALSE(worker.GetErrorText().empty());

    worker.URL = base + "/file.bin";
    ExpectChecked(content);
    worker.ExpectedSize += 1;  // one byte short of what the line promises
    seen = Request(WM_DL_DOWNLOAD);
    ASSERT_EQ(seen.back().message, WM_DL_ERROR);
    EXPECT_EQ(seen.back().wParam, kErrorCheck);
    EXPECT_EQ(worker.GetErrorText(), "size mismatch: expected 20001 bytes, received 20000");

    ExpectChecked(content);
    worker.ExpectedCRC ^= 1;
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.back().wParam, kErrorCheck);
    EXPECT_EQ(worker.GetErrorText().rfind("CRC mismatch: expected ", 0), 0u) << worker.GetErrorText();

    WriteFile(mirror + "/huge.bin", PatternBytes(2000000, 7));  // far more than the line promises
    worker.URL = base + "/huge.bin";
    ExpectChecked(content);
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.back().wParam, kErrorCheck);
    EXPECT_LE(worker.Received.load(), content.size() + 2048);  // stopped once it outgrew the promise

    WriteFile(mirror + "/endless.lst", std::string((16u << 20) + 1, 'x'));  // no script is that long
    worker.URL = base + "/nolength/endless.lst";
    worker.SkipCheck = 1;
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.back().wParam, kErrorCheck);

    worker.URL = base + "/file.bin";
    ExpectChecked(content);
    EXPECT_FALSE(worker.InstallFailed);
    worker.Destination = work + "/no/such/folder/file.bin";  // cannot be copied there
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.back().wParam, kErrorCheck);
    EXPECT_TRUE(worker.InstallFailed);
    EXPECT_EQ(worker.GetErrorText(), "cannot write " + worker.Destination + ": No such file or directory");

    EXPECT_EQ(ReadBytes(work + "/file.bin"), "installed");
    worker.Post(WM_DL_STOP);
    ASSERT_TRUE(Pump([](const CMessage&) {}, [&] { return worker.HasEnded(); }));
    EXPECT_TRUE(TempLeftovers().empty());
    EXPECT_EQ(FilesStartingWith(work, "file.bin"), std::vector<std::string>{"file.bin"});
}

TEST_F(DownloadThreadTest, UnparsableUrlsArePostedAsErrorOne) {
    for (const char* url : {"", "not a url", "http://"}) {
        worker.URL = url;
        auto seen = Request(WM_DL_CONNECT);
        ASSERT_EQ(seen.size(), 1u) << url;
        EXPECT_EQ(seen[0].message, WM_DL_ERROR);
        EXPECT_EQ(seen[0].wParam, kErrorBadUrl);
        EXPECT_EQ(worker.GetErrorText(), "Invalid URL");
    }
}

// A stop ends the transfer at once, whether the server stalls after a few KiB or never answers;
// nothing is notified, installed or left behind.
TEST_F(DownloadThreadTest, StopEndsAStalledOrSilentTransferAtOnce) {
    auto server = Http();
    ASSERT_TRUE(server);
    SilentServer silent;
    ASSERT_NE(silent.port(), 0);
    WriteFile(mirror + "/big.bin", PatternBytes(400000, 4));
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    for (const std::string& url :
         {base + "/stall/big.bin", "http://127.0.0.1:" + std::to_string(silent.port()) + "/big.bin"}) {
        SCOPED_TRACE(url);
        bool stalls = url.find("/stall/") != std::string::npos;
        CQVDownloadThread hanging(platform::CurlInternet(), platform::SystemFileSystem());
        hanging.m_pMainWnd = &window;
        hanging.SkipCheck = 1;
        hanging.URL = base;
        std::vector<CMessage> seen;
        auto record = [&](const CMessage& m) { seen.push_back(m); };
        hanging.Post(WM_DL_CONNECT);
        ASSERT_TRUE(Pump(record, [&] { return !seen.empty(); }));
        ASSERT_EQ(seen.back().message, WM_DL_CONNECTED);
        hanging.URL = url;
        hanging.Destination = work + "/big.bin";
        hanging.Post(WM_DL_DOWNLOAD);
        auto hung = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        ASSERT_TRUE(Pump(record, [&] {
            return stalls ? hanging.Received.load() >= 4096 : std::chrono::steady_clock::now() > hung;
        }));
        auto stopped = std::chrono::steady_clock::now();
        hanging.Post(WM_DL_STOP);
        ASSERT_TRUE(Pump(record, [&] { return hanging.HasEnded(); }));
        EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
        for (const auto& m : seen) EXPECT_TRUE(m.message != WM_DL_DONE && m.message != WM_DL_ERROR) << m.message;
        EXPECT_FALSE(FileExists(work + "/big.bin"));
        EXPECT_TRUE(TempLeftovers().empty());
    }
}

// One byte every half second is far below the speed floor: the transfer fails once it has stayed
// below it for the set time (shortened here) instead of holding the run for ever.
TEST_F(DownloadThreadTest, TricklingServerFailsBelowTheSpeedFloor) {
    auto server = Http();
    ASSERT_TRUE(server);
    WriteFile(mirror + "/file.bin", PatternBytes(1000, 8));
    platform::InternetAccess access;
    access.lowSpeedSeconds = 2;
    std::string error;
    auto session = platform::CurlInternet().OpenSession("Zelupdate", access, error);
    ASSERT_TRUE(session) << error;
    auto started = std::chrono::steady_clock::now();
    auto file = session->OpenUrl("http://127.0.0.1:" + std::to_string(server->port()) + "/trickle/file.bin", error);
    ASSERT_TRUE(file) << error;
    char buffer[kBlockSize];
    long n = 0;
    while ((n = file->Read(buffer, sizeof buffer, error)) > 0) {
    }
    EXPECT_EQ(n, -1);
    EXPECT_NE(error.find("too slow"), std::string::npos) << error;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST_F(DownloadThreadTest, FtpMirror) {
    auto server = Ftp();
    ASSERT_TRUE(server);
    std::string content = PatternBytes(10000, 5);
    WriteFile(mirror + "/file.bin", content);
    std::string base = "ftp://127.0.0.1:" + std::to_string(server->port());
    ExpectChecked(content);
    auto seen = Fetch(base, base + "/file.bin", "file.bin");
    EXPECT_EQ(seen.front().lParam, 10000);  // the size comes from the server
    EXPECT_EQ(seen.back().message, WM_DL_DONE);
    EXPECT_EQ(ReadBytes(work + "/file.bin"), content);

    worker.URL = base + "/nothing.bin";
    seen = Request(WM_DL_DOWNLOAD);
    EXPECT_EQ(seen.back().wParam, kErrorOpenUrl);
}

TEST_F(DownloadThreadTest, NamedProxyCarriesHttpAndFtp) {
    auto http = Http();
    auto ftp = Ftp();
    auto proxy = StartProxy();
    ASSERT_TRUE(http && ftp && proxy);
    std::string content = PatternBytes(3000, 6);
    WriteFile(mirror + "/file.bin", content);
    std::string httpBase = "http://127.0.0.1:" + std::to_string(http->port());
    std::string ftpBase = "ftp://127.0.0.1:" + std::to_string(ftp->port());
    ScopedEnv bypass("no_proxy", "127.0.0.1,localhost");  // a named proxy is used all the same
    worker.UseProxy = 1;
    worker.HTTPProxy = "127.0.0.1";
    worker.HTTPPort = proxy->port();
    worker.FTPProxy = "127.0.0.1";
    worker.FTPPort = proxy->port();
    EXPECT_EQ(Fetch(httpBase, httpBase + "/file.bin", "h.bin").back().message, WM_DL_DONE);
    EXPECT_EQ(Fetch(ftpBase, ftpBase + "/file.bin", "f.bin").back().message, WM_DL_DONE);
    EXPECT_EQ(ReadBytes(work + "/h.bin"), content);
    EXPECT_EQ(ReadBytes(work + "/f.bin"), content);
    std::string log = proxy->Log();
    EXPECT_NE(log.find("GET " + httpBase + "/file.bin"), std::string::npos) << log;
    EXPECT_NE(log.find("CONNECT 127.0.0.1:" + std::to_string(ftp->port()) + " HTTP/"), std::string::npos) << log;

    // A session made for the FTP mirror sends HTTP URLs to the FTP proxy's address; with a dead port
    // there the fetch fails, which shows which proxy the session took.
    worker.HTTPPort = 1;
    EXPECT_EQ(Fetch(ftpBase, httpBase + "/file.bin", "x.bin").back().message, WM_DL_DONE);
    EXPECT_EQ(Fetch(httpBase, httpBase + "/file.bin", "x.bin").back().wParam, kErrorOpenUrl);
}

TEST_F(DownloadThreadTest, SystemProxySettingsComeFromTheEnvironment) {
    auto http = Http();
    auto proxy = StartProxy();
    ASSERT_TRUE(http && proxy);
    WriteFile(mirror + "/file.bin", "through the proxy");
    std::string base = "http://127.0.0.1:" + std::to_string(http->port());
    std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy->port());
    ScopedEnv env("http_proxy", proxyUrl.c_str());
    EXPECT_EQ(Fetch(base, base + "/file.bin", "file.bin").back().message, WM_DL_DONE);
    EXPECT_NE(proxy->Log().find("GET " + base + "/file.bin"), std::string::npos);
}

// Records the access each session is opened with.
class RecordingInternet final : public platform::Internet {
public:
    std::optional<std::string> UrlScheme(const std::string& url) override {
        return platform::CurlInternet().UrlScheme(url);
    }
    std::unique_ptr<platform::InternetSession> OpenSession(const std::string&, const platform::InternetAccess& access,
                                                           std::string& error) override {
        accesses.push_back(access);
        error = "refused for the test";
        return nullptr;
    }
    std::vector<platform::InternetAccess> accesses;
};

// A transport without a network: every URL serves `size` bytes; sessions are refused on request.
class CannedInternet final : public platform::Internet {
public:
    class File final : public platform::InternetFile {
    public:
        explicit File(std::size_t size) : m_left(size) {}
        std::optional<std::uint64_t> Length() const override { return std::nullopt; }
        long Read(void* buffer, std::size_t count, std::string&) override {
            std::size_t n = std::min(count, m_left);
            std::memset(buffer, 'z', n);
            m_left -= n;
            return static_cast<long>(n);
        }

    private:
        std::size_t m_left;
    };
    class Session final : public platform::InternetSession {
    public:
        std::unique_ptr<platform::InternetFile> OpenUrl(const std::string&, std::string&) override {
            return std::make_unique<File>(5000);
        }
    };
    std::optional<std::string> UrlScheme(const std::string& url) override {
        return platform::CurlInternet().UrlScheme(url);
    }
    std::unique_ptr<platform::InternetSession> OpenSession(const std::string&, const platform::InternetAccess&,
                                                           std::string& error) override {
        if (refuse) {
            error = "refused";
            return nullptr;
        }
        return std::make_unique<Session>();
    }
    std::atomic<bool> refuse{false};
};

// Sent notifications hold the worker until the page has handled them; posted ones do not.
TEST(DownloadThreadDeliveryTest, ConnectedAndLaterErrorsAreSentErrorOneIsPosted) {
    TempDir dir;
    CannedInternet internet;
    CMessageQueue window;
    CQVDownloadThread worker(internet, platform::SystemFileSystem());
    worker.m_pMainWnd = &window;
    worker.SkipCheck = 1;
    worker.URL = "http://m.test";
    worker.Destination = dir / "file.bin";
    auto settle = [] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); };
    auto take = [&] {
        CMessage seen;
        EXPECT_TRUE(window.Dispatch([&](const CMessage& m) { seen = m; }, std::chrono::seconds(10)));
        return seen;
    };

    worker.Post(WM_DL_CONNECT);
    worker.Post(WM_DL_DOWNLOAD);
    settle();
    EXPECT_FALSE(FileExists(dir / "file.bin"));  // still waiting for the page to take "connected"
    EXPECT_EQ(take().message, WM_DL_CONNECTED);
    std::vector<UINT> order;
    while (order.empty() || order.back() != WM_DL_DONE) order.push_back(take().message);
    ASSERT_EQ(order.size(), 5u);  // started, three blocks (2048, 2048, 904), done
    EXPECT_EQ(order[0], WM_DL_STARTED);
    EXPECT_EQ(order[3], WM_DL_PROGRESS);
    EXPECT_EQ(ReadBytes(dir / "file.bin"), std::string(5000, 'z'));

    internet.refuse = true;
    worker.Post(WM_DL_CONNECT);  // error 2: sent
    worker.Post(WM_DL_STOP);
    settle();
    EXPECT_FALSE(worker.HasEnded());
    CMessage error = take();
    EXPECT_EQ(error.message, WM_DL_ERROR);
    EXPECT_EQ(error.wParam, kErrorSession);
    for (int i = 0; i < 100 && !worker.HasEnded(); ++i) settle();
    EXPECT_TRUE(worker.HasEnded());

    CQVDownloadThread second(internet, platform::SystemFileSystem());
    second.m_pMainWnd = &window;
    second.URL = "";
    second.Post(WM_DL_CONNECT);  // error 1: posted, so the stop is reached unhandled
    second.Post(WM_DL_STOP);
    for (int i = 0; i < 100 && !second.HasEnded(); ++i) settle();
    EXPECT_TRUE(second.HasEnded());
    EXPECT_EQ(take().wParam, kErrorBadUrl);
    window.Close();
}

// The system's files with every call the worker makes recorded; installing fails on request.
class RecordingFileSystem final : public platform::FileSystem {
public:
    explicit RecordingFileSystem(std::string folder) : m_folder(std::move(folder)) {}
    std::optional<std::int64_t> ModificationTime(const std::string& path) override {
        return platform::SystemFileSystem().ModificationTime(path);
    }
    bool RemoveFile(const std::string& path) override {
        calls.push_back("remove " + path);
        return platform::SystemFileSystem().RemoveFile(path);
    }
    bool MakeFolder(const std::string& path) override { return platform::SystemFileSystem().MakeFolder(path); }
    platform::PathTarget Locate(const std::string& path) override { return platform::SystemFileSystem().Locate(path); }
    std::optional<std::string> ReadContent(const std::string& path, std::uint64_t limit) override {
        return platform::SystemFileSystem().ReadContent(path, limit);
    }
    std::string TempFileFolder() override { return m_folder; }
    std::string CreateTempFile(const std::string& prefix) override {
        std::string path = platform::CreateTempFileIn(m_folder, prefix);
        calls.push_back("temp " + path);
        return path;
    }
    bool InstallFile(const std::string& source, const std::string& target, std::string& error) override {
        calls.push_back("install " + source + " " + target);
        if (refuseInstall) {
            error = "refused by the test";
            return false;
        }
        return platform::SystemFileSystem().InstallFile(source, target, error);
    }
    std::vector<std::string> calls;
    bool refuseInstall = false;

private:
    std::string m_folder;
};

// The worker keeps its download in the file system's temporary folder, installs it through the file
// system and removes it there, whether the installation succeeds or fails.
TEST(DownloadThreadFilesTest, DownloadsAreKeptInstalledAndRemovedThroughTheFileSystem) {
    TempDir dir;
    CannedInternet internet;
    RecordingFileSystem files(dir.path());
    CMessageQueue window;
    CQVDownloadThread worker(internet, files);
    worker.m_pMainWnd = &window;
    worker.SkipCheck = 1;
    worker.URL = "http://m.test";
    auto last = [&](UINT request) {
        worker.Post(request);
        CMessage seen;
        while (seen.message != WM_DL_DONE && seen.message != WM_DL_ERROR && seen.message != WM_DL_CONNECTED)
            EXPECT_TRUE(window.Dispatch([&](const CMessage& m) { seen = m; }, std::chrono::seconds(10)));
        return seen;
    };
    ASSERT_EQ(last(WM_DL_CONNECT).message, WM_DL_CONNECTED);

    worker.Destination = dir / "file.bin";
    EXPECT_EQ(last(WM_DL_DOWNLOAD).message, WM_DL_DONE);
    EXPECT_EQ(ReadBytes(dir / "file.bin"), std::string(5000, 'z'));

    files.refuseInstall = true;
    worker.Destination = dir / "other.bin";
    CMessage failed = last(WM_DL_DOWNLOAD);
    EXPECT_EQ(failed.message, WM_DL_ERROR);
    EXPECT_EQ(failed.wParam, kErrorCheck);
    EXPECT_TRUE(worker.InstallFailed);
    EXPECT_EQ(worker.GetErrorText(), "refused by the test");
    EXPECT_FALSE(FileExists(dir / "other.bin"));

    // The temporary file goes once the download request is over: look when the worker has ended.
    worker.Post(WM_DL_STOP);
    for (int i = 0; i < 1000 && !worker.HasEnded(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(worker.HasEnded());
    ASSERT_EQ(files.calls.size(), 6u);
    for (std::size_t run = 0; run < 2; ++run) {
        std::string temp = files.calls[3 * run].substr(5);
        EXPECT_EQ(temp.rfind(dir / "zsu", 0), 0u) << temp;
        EXPECT_EQ(files.calls[3 * run + 1], "install " + temp + " " + (dir / (run == 0 ? "file.bin" : "other.bin")));
        EXPECT_EQ(files.calls[3 * run + 2], "remove " + temp);
    }
    EXPECT_TRUE(FilesStartingWith(dir.path(), "zsu").empty());
    window.Close();
}

TEST(DownloadThreadProxyTextTest, ProxyTextFollowsTheScheme) {
    RecordingInternet internet;
    CMessageQueue window;
    {
        CQVDownloadThread worker(internet, platform::SystemFileSystem());
        worker.m_pMainWnd = &window;
        worker.UseProxy = 1;
        worker.HTTPProxy = "hp";
        worker.HTTPPort = 8080;
        worker.FTPProxy = "fp";
        worker.FTPPort = 0;
        for (const char* url : {"ftp://m.test/upd", "http://m.test", "gopher://m.test/"}) {
            worker.URL = url;
            worker.Post(WM_DL_CONNECT);
            CMessage seen;
            while (!window.Dispatch([&](const CMessage& m) { seen = m; }, std::chrono::seconds(10))) {
            }
            EXPECT_EQ(seen.message, WM_DL_ERROR);
            EXPECT_EQ(seen.wParam, kErrorSession);
            EXPECT_EQ(worker.GetErrorText(), "refused for the test");
        }
        worker.UseProxy = 0;
        worker.Post(WM_DL_CONNECT);
        window.Dispatch([](const CMessage&) {}, std::chrono::seconds(10));
        window.Close();
    }
    ASSERT_EQ(internet.accesses.size(), 4u);
    EXPECT_EQ(internet.accesses[0].proxy, "fp:0");
    EXPECT_EQ(internet.accesses[1].proxy, "hp:8080");
    EXPECT_EQ(internet.accesses[2].proxy, "hp:8080");
    EXPECT_TRUE(internet.accesses[0].useProxy);
    EXPECT_FALSE(internet.accesses[3].useProxy);
}

}  // namespace
}  // namespace zel::updater::test

// Whole update runs: the download page with the real download thread against local mirrors, then
// the completion page's log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <thread>

#include "fakes.h"
#include "framework/crc32.h"
#include "network_fixture.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/internet.h"
#include "platform/services.h"
#include "platform/wine/wine_registry.h"
#include "updater/core/completion_page.h"
#include "updater/core/download_page.h"
#include "updater/core/download_thread.h"
#include "updater/core/registry_profile.h"
#include "updater/core/update_strings.h"

namespace zel::updater::test {
namespace {

std::string CheckedLine(const std::string& dest, const std::string& url, const std::string& content,
                        const std::string& label = " ", const std::string& version = " ",
                        const std::string& date = "01.01.2004") {
    return "c<" + dest + "><" + url + "><" + date + "><12:00:00><" + label + "><" + version + "><" +
           std::to_string(content.size()) + "><" + std::to_string(Crc32(content.data(), content.size())) + ">\r\n";
}

void MakeBase(const std::string& path, const std::vector<std::array<const char*, 3>>& records) {
    CTrojanBase2 base;
    for (const auto& r : records) ASSERT_GE(base.Add(r[0], r[1], r[2], 0x01), 0);
    ASSERT_EQ(base.SaveToCryptFile(path), 1);
}

class UpdateRunTest : public NetworkTest {
protected:
    UpdateRunTest() : cwd(work), app(desktop, profile) {}

    // Runs the download page until it hands over; returns the page it went to.
    int RunPage(const std::string& mirrorUrl, const std::function<void(CDownloadPage&, const CMessage&)>& spy = {}) {
        app.m_settings.URL = mirrorUrl;
        worker = std::make_unique<CQVDownloadThread>(platform::CurlInternet(), platform::SystemFileSystem());
        page = std::make_unique<CDownloadPage>(app, *worker, window, view, platform::SystemClock(),
                                               platform::SystemFileSystem(), desktop);
        view.page = 1;
        page->OnSetActive();
        bool done = Pump(
            [&](const CMessage& m) {
                page->OnMessage(m);
                if (spy) spy(*page, m);
            },
            [&] { return view.page != 1; });
        EXPECT_TRUE(done);
        return view.page;
    }

    void TearDown() override {
        window.Close();
        worker.reset();
    }

    ScopedWorkingFolder cwd;
    FakeDesktop desktop;
    MemoryProfile profile;
    CUpdateApp app;
    FakePageView view;
    std::unique_ptr<CQVDownloadThread> worker;
    std::unique_ptr<CDownloadPage> page;
};

TEST_F(UpdateRunTest, HttpMirrorInstallsWhatIsOutOfDateAndLogsIt) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    std::string program = PatternBytes(7000, 10);
    std::string current = "current text";
    std::string bad = PatternBytes(3000, 11);
    MakeBase(mirror + "/~default.tdb", {{"Backdoor", "Alpha", "1.0"}, {"Worm", "Beta", "0"}});
    std::string delivered = ReadBytes(mirror + "/~default.tdb");
    WriteFile(mirror + "/_zelscan.exe", program);
    WriteFile(mirror + "/current.txt", current);
    WriteFile(mirror + "/bad.bin", bad);

    MakeBase(work + "/default.tdb", {{"Backdoor", "Alpha", "1.0"}});
    SetLocalModificationTime(work + "/default.tdb", 2003, 12, 31, 23, 0, 0);  // older than the line
    WriteFile(work + "/current.txt", "kept");                                 // newer than the line
    WriteFile(work + "/bad.bin", "installed");
    SetLocalModificationTime(work + "/bad.bin", 2000, 1, 1, 0, 0, 0);
    std::filesystem::create_directories(work + "/bin");

    WriteFile(mirror + "/zelbase.lst",
              "s<" + std::to_string(program.size() + delivered.size() + bad.size()) + ">\r\n" +
                  CheckedLine("bin/zelscan.exe", base + "/_zelscan.exe", program, "program", "1.2") +
                  CheckedLine("current.txt", base + "/current.txt", current) +
                  CheckedLine("~default.tdb", base + "/~default.tdb", delivered) +
                  CheckedLine("bad.bin", base + "/bad.bin", bad + "x") +  // size and CRC of another file
                  "f<Your Zelscan is up to date.>\r\n");
    ASSERT_EQ(RunPage(base), 2);

    EXPECT_EQ(ReadBytes(work + "/bin/zelscan.exe"), program);
    EXPECT_EQ(ReadBytes(work + "/~default.tdb"), delivered);
    EXPECT_EQ(ReadBytes(work + "/current.txt"), "kept");
    EXPECT_EQ(ReadBytes(work + "/bad.bin"), "installed");
    EXPECT_FALSE(FileExists(work + "/index.lst"));
    // The worker removes its last temporary file after the page handled its last notification.
    ASSERT_TRUE(Pump([](const CMessage&) {}, [&] { return worker->HasEnded(); }));
    EXPECT_TRUE(TempLeftovers().empty());
    const auto& rows = page->Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, "_zelscan.exe");
    EXPECT_EQ(rows[0].size, "7000");
    EXPECT_EQ(rows[0].icon, kIconUpdated);
    EXPECT_EQ(rows[1].size, "Complete");
    EXPECT_EQ(rows[2].icon, kIconUpdated);
    EXPECT_EQ(rows[3].size, "failed");
    EXPECT_EQ(rows[3].icon, kIconFailed);
    EXPECT_EQ(rows[3].reason, "size mismatch: expected 3001 bytes, received 3000");
    EXPECT_TRUE(view.messages.empty());  // a failed check shows no message

    // One failed file: the run is not called a success; the script's text follows the failure's.
    CCompletionPage completion(app, view);
    completion.OnSetActive();
    EXPECT_EQ(view.headline, LoadUpdateString(IDS_FAILED_HEADLINE));
    EXPECT_EQ(view.message, LoadUpdateString(IDS_FAILED_TEXT) + "|Your Zelscan is up to date.");
    EXPECT_EQ(ReadBytes(work + "/zelupdate.txt"),
              "Zelupdate log file.\r\n\r\n"
              "Updated program zelscan.exe to version 1.2\r\n"
              "Updated ~default.tdb\r\n\r\n"
              "Failed update bad.bin\r\n"
              "\r\nThe database has been updated with information pertaining to the following Trojans:\r\n\r\n"
              "Beta, type Worm\r\n");

    // The next run finds the installed program up to date. The delivered database is fetched again
    // as long as the live one has not been replaced by it, and the failed file is tried again.
    view = FakePageView();
    app.m_settings.LogText.clear();
    ASSERT_EQ(RunPage(base), 2);
    ASSERT_EQ(page->Rows().size(), 4u);
    EXPECT_EQ(page->Rows()[0].size, "Complete");
    EXPECT_EQ(app.m_settings.LogText, "Updated ~default.tdb\r\n\r\nFailed update bad.bin\r\n");
    SetLocalModificationTime(work + "/default.tdb", 2004, 1, 2, 0, 0, 0);
    app.m_settings.LogText.clear();
    ASSERT_EQ(RunPage(base), 2);
    EXPECT_EQ(page->Rows()[2].size, "Complete");
}

TEST_F(UpdateRunTest, FtpMirrorDirectAndThroughTheProxy) {
    auto server = Ftp();
    auto proxy = StartProxy();
    ASSERT_TRUE(server && proxy);
    std::string base = "ftp://127.0.0.1:" + std::to_string(server->port());
    std::string content = PatternBytes(5000, 12);
    WriteFile(mirror + "/data.bin", content);
    WriteFile(mirror + "/zelbase.lst", CheckedLine("data.bin", base + "/data.bin", content));
    ASSERT_EQ(RunPage(base), 2);
    EXPECT_EQ(ReadBytes(work + "/data.bin"), content);
    EXPECT_EQ(app.m_settings.LogText, "Updated data.bin\r\n\r\n");

    std::filesystem::remove(work + "/data.bin");
    app.m_settings.LogText.clear();
    app.m_settings.UseProxySettings = 1;
    app.m_settings.FTPProxy = "127.0.0.1";
    app.m_settings.FTPPort = proxy->port();
    ASSERT_EQ(RunPage(base), 2);
    EXPECT_EQ(ReadBytes(work + "/data.bin"), content);
    std::string connect = "CONNECT 127.0.0.1:" + std::to_string(server->port()) + " HTTP/";
    EXPECT_NE(proxy->Log().find(connect), std::string::npos);
}

TEST_F(UpdateRunTest, MissingScriptSendsTheUserBack) {
    auto server = Http();
    ASSERT_TRUE(server);
    ASSERT_EQ(RunPage("http://127.0.0.1:" + std::to_string(server->port()) + "/nowhere"), 0);
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_NE(view.messages[0].find("404"), std::string::npos);
    EXPECT_EQ(view.messages[1], "Unable to locate update script file. Try another server.");
    EXPECT_EQ(view.buttons, kWizardBack);
    ASSERT_EQ(RunPage(""), 0);
    EXPECT_EQ(view.messages.back(), LoadUpdateString(IDS_NO_MIRROR));
}

TEST_F(UpdateRunTest, CancelDuringATransferLeavesNothingBehind) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    std::string big = PatternBytes(400000, 13);
    WriteFile(mirror + "/big.bin", big);
    WriteFile(mirror + "/zelbase.lst", CheckedLine("big.bin", base + "/throttle/big.bin", big));
    app.m_bScannerWasRunning = 1;
    bool cancelled = false;
    app.m_settings.URL = base;
    worker = std::make_unique<CQVDownloadThread>(platform::CurlInternet(), platform::SystemFileSystem());
    page = std::make_unique<CDownloadPage>(app, *worker, window, view, platform::SystemClock(),
                                           platform::SystemFileSystem(), desktop);
    page->OnSetActive();
    ASSERT_TRUE(Pump(
        [&](const CMessage& m) {
            page->OnMessage(m);
            if (m.message == WM_DL_PROGRESS && page->EntriesDone() == 1 && !cancelled) {
                page->OnCancel();
                cancelled = true;
            }
        },
        [&] { return worker->HasEnded(); }));
    EXPECT_FALSE(FileExists(work + "/big.bin"));
    EXPECT_TRUE(TempLeftovers().empty());
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0].first, "zelscan.exe");
}

// Runs `zel update` with `options` in the working folder; returns its exit status.
int RunZel(const std::string& options) {
    std::string command = std::string(ZEL_BINARY_DIR) + "/zel update " + options + " > out.txt 2> err.txt";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

extern "C" char** environ;

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(UpdateRunTest, ZelUpdateOverHttpAndFtpDirectAndThroughTheProxyWithStoredSettings) {
    auto http = Http();
    auto ftp = Ftp();
    auto proxy = StartProxy();
    ASSERT_TRUE(http && ftp && proxy);
    // The same file from two mirrors, each with a script naming its own URLs.
    std::string httpBase = "http://127.0.0.1:" + std::to_string(http->port()) + "/h";
    std::string ftpBase = "ftp://127.0.0.1:" + std::to_string(ftp->port()) + "/f";
    std::string good = PatternBytes(6000, 14);
    for (const char* sub : {"/h", "/f"}) {
        std::filesystem::create_directories(mirror + sub);
        WriteFile(mirror + sub + "/good.bin", good);
    }
    WriteFile(mirror + "/h/zelbase.lst",
              "s<6000>\n" + CheckedLine("good.bin", httpBase + "/good.bin", good) + "f<Thanks for updating.>\n");
    WriteFile(mirror + "/f/zelbase.lst", CheckedLine("good.bin", ftpBase + "/good.bin", good));

    // The settings come from the registry file of the system root.
    std::string root = dir / "root";
    CopyFreshPrefix(root);
    {
        platform::WineRegistry registry(root);
        platform::ScopedServices services(platform::Services{.registry = &registry});
        CRegistryProfile registryProfile;
        CUpdateSettings stored;
        stored.Mirrors = {{"Local", httpBase}};
        ASSERT_TRUE(SaveSettings(registryProfile, stored));
    }
    ScopedEnv systemRoot("ZEL_SYSTEM_ROOT", root.c_str());

    ASSERT_EQ(RunZel("--region Local"), 0) << ReadBytes(work + "/err.txt");
    EXPECT_EQ(ReadBytes(work + "/good.bin"), good);
    std::string out = ReadBytes(work + "/out.txt");
    EXPECT_NE(out.find("Connecting to server..."), std::string::npos) << out;
    EXPECT_NE(out.find("good.bin"), std::string::npos) << out;
    EXPECT_NE(out.find("6000"), std::string::npos) << out;
    EXPECT_NE(out.find("Thanks for updating."), std::string::npos) << out;
    EXPECT_EQ(ReadBytes(work + "/zelupdate.txt"), "Zelupdate log file.\r\n\r\nUpdated good.bin\r\n\r\n");
    EXPECT_EQ(RunZel("--region Local"), 0);  // now up to date
    EXPECT_NE(ReadBytes(work + "/out.txt").find("We have determined"), std::string::npos);
    EXPECT_EQ(proxy->Log().find("CONNECT 127.0.0.1"), std::string::npos);

    // FTP through the proxy, stored for the next runs.
    std::string proxyAddress = "127.0.0.1:" + std::to_string(proxy->port());
    std::string ftpConnect = "CONNECT 127.0.0.1:" + std::to_string(ftp->port()) + " HTTP/";  // control connections
    std::filesystem::remove(work + "/good.bin");
    ASSERT_EQ(RunZel("--mirror " + ftpBase + "/ --proxy-ftp " + proxyAddress + " --save-settings"), 0)
        << ReadBytes(work + "/err.txt");
    EXPECT_EQ(ReadBytes(work + "/good.bin"), good);
    EXPECT_EQ(Count(proxy->Log(), ftpConnect), 2);  // script and file
    {
        platform::WineRegistry registry(root);
        platform::ScopedServices services(platform::Services{.registry = &registry});
        CRegistryProfile registryProfile;
        CUpdateSettings stored;
        LoadSettings(registryProfile, stored);
        EXPECT_EQ(stored.URL, ftpBase);  // without the trailing slash
        EXPECT_EQ(stored.UseProxySettings, 1);
        EXPECT_EQ(stored.FTPProxy, "127.0.0.1");
        EXPECT_EQ(stored.FTPPort, proxy->port());
        ASSERT_EQ(stored.Mirrors.size(), 1u);
        EXPECT_EQ(stored.Mirrors[0].Name, "Local");
    }
    std::filesystem::remove(work + "/good.bin");
    ASSERT_EQ(RunZel(""), 0);  // the stored mirror and proxy
    EXPECT_EQ(ReadBytes(work + "/good.bin"), good);
    EXPECT_EQ(Count(proxy->Log(), ftpConnect), 4);
    std::filesystem::remove(work + "/good.bin");
    ASSERT_EQ(RunZel("--no-proxy"), 0);  // this run only goes direct
    EXPECT_EQ(Count(proxy->Log(), ftpConnect), 4);

    // HTTP through the proxy.
    std::filesystem::remove(work + "/good.bin");
    ASSERT_EQ(RunZel("--region Local --proxy-http " + proxyAddress), 0);
    EXPECT_EQ(ReadBytes(work + "/good.bin"), good);
    EXPECT_NE(proxy->Log().find("GET " + httpBase + "/good.bin"), std::string::npos);
    EXPECT_TRUE(TempLeftovers().empty());

    // A file that fails its check, a mirror without a script, and bad options. (The stored settings
    // name no HTTP proxy, so HTTP runs go direct with --no-proxy.)
    WriteFile(mirror + "/h/zelbase.lst", CheckedLine("other.bin", httpBase + "/good.bin", "other"));
    EXPECT_EQ(RunZel("--region Local --no-proxy"), 1);
    EXPECT_FALSE(FileExists(work + "/other.bin"));
    EXPECT_NE(ReadBytes(work + "/out.txt").find("failed"), std::string::npos);
    EXPECT_EQ(RunZel("--mirror " + httpBase + "/nowhere --no-proxy"), 2);
    EXPECT_NE(ReadBytes(work + "/err.txt").find("Unable to locate update script file. Try another server."),
              std::string::npos);
    std::string fresh = dir / "fresh";
    CopyFreshPrefix(fresh);
    EXPECT_EQ(RunZel("--system-root " + fresh), 2);
    EXPECT_EQ(ReadBytes(work + "/err.txt"), "zel: no mirror is configured; give --mirror URL or --region NAME\n");
    EXPECT_EQ(RunZel("--region Nowhere"), 2);
    EXPECT_EQ(RunZel("--proxy-http nohost"), 2);
    EXPECT_EQ(RunZel("--mirror a --region Local"), 2);
}

// Starts zel with `words`, its standard output and error going to `out` and `err`; -1 on failure.
pid_t StartZel(std::vector<std::string> words, int out, int err) {
    std::string zel = std::string(ZEL_BINARY_DIR) + "/zel";
    std::vector<char*> argv{zel.data()};
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    pid_t pid = -1;
    if (::posix_spawn(&pid, zel.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The lines a terminal shows for `raw`: a carriage return goes back to the start of the line, and
// ESC [ K wipes the line from there on.
std::vector<std::string> Screen(const std::string& raw) {
    std::vector<std::string> lines{""};
    std::size_t column = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::string& line = lines.back();
        if (raw[i] == '\r') {
            column = 0;
        } else if (raw[i] == '\n') {
            lines.emplace_back();
            column = 0;
        } else if (raw.compare(i, 3, "\033[K") == 0) {
            line.resize(std::min(line.size(), column));
            i += 2;
        } else {
            if (column < line.size())
                line[column] = raw[i];
            else
                line += raw[i];
            ++column;
        }
    }
    return lines;
}

// On a terminal the progress bar is redrawn in place: it is never left behind, never wider than the
// terminal, never shows "of 0" (this script names no total), and no message shares its line.
TEST_F(UpdateRunTest, ZelUpdateDrawsOneProgressBarOnATerminal) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    std::string big = PatternBytes(80000, 16);
    WriteFile(mirror + "/big.bin", big);
    WriteFile(mirror + "/bad.bin", "bad");
    WriteFile(mirror + "/two.bin", "two");
    WriteFile(mirror + "/zelbase.lst", CheckedLine("big.bin", base + "/throttle/big.bin", big) +
                                           CheckedLine("bad.bin", base + "/bad.bin", "other") +
                                           CheckedLine("two.bin", base + "/throttle/two.bin", "two"));
    std::string root = dir / "root";
    CopyFreshPrefix(root);
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = 60;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
    pid_t pid = StartZel({"update", "--mirror", base, "--system-root", root}, slave, slave);
    ::close(slave);
    ASSERT_GT(pid, 0);
    std::string raw;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0) raw.append(buffer, static_cast<std::size_t>(n));
    ::close(master);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << raw;

    EXPECT_NE(raw.find("\r[#"), std::string::npos) << raw;  // the bar was drawn, and filled
    EXPECT_EQ(raw.find(" of 0"), std::string::npos) << raw;
    for (std::size_t at = raw.find("\r["); at != std::string::npos; at = raw.find("\r[", at + 1))
        EXPECT_LT(raw.find("\033[K", at) - at - 1, 60u);
    std::vector<std::string> screen = Screen(raw);
    for (const std::string& line : screen) EXPECT_EQ(line.find("Downloaded"), std::string::npos) << line;
    auto shown = [&](const std::string& text) { return std::count(screen.begin(), screen.end(), text); };
    EXPECT_EQ(shown("zel: bad.bin: size mismatch: expected 5 bytes, received 3"), 1) << raw;
    EXPECT_EQ(shown("zel: 1 file failed"), 1) << raw;
    for (const char* row : {"  big.bin ", "  bad.bin ", "  two.bin "})
        EXPECT_EQ(std::count_if(screen.begin(), screen.end(),
                                [&](const std::string& line) { return line.rfind(row, 0) == 0; }),
                  1)
            << row << raw;
}

// Every file below `folder` with its content.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? ReadBytes(entry.path().string()) : "<folder>";
    return files;
}

// A hostile script aimed at a decoy tree beside the install folder (directly, through "..", a drive
// letter, a link leading out, and a program on the search path), mixed with lines written for Windows.
TEST_F(UpdateRunTest, ZelUpdateKeepsAHostileScriptInsideTheInstallFolder) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    std::string decoy = dir / "decoy";
    std::filesystem::create_directories(decoy);
    WriteFile(decoy + "/victim.txt", "precious");
    for (const char* script : {"/prog.sh", "/start.sh"}) {
        std::string folder = std::string(script) == "/prog.sh" ? decoy : work;
        WriteFile(folder + script, "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
        std::filesystem::permissions(folder + script, std::filesystem::perms::owner_all);
    }
    std::filesystem::create_directory_symlink(decoy, work + "/out");
    std::filesystem::create_directories(work + "/plugins");
    WriteFile(work + "/plugins/old.dll", "old");
    std::string payload = PatternBytes(1000, 20);
    WriteFile(mirror + "/payload.bin", payload);
    auto line = [&](const std::string& dest) {
        return CheckedLine(dest, base + "/payload.bin", payload, " ", " ", "31.12.2099");  // always out of date
    };
    std::vector<std::string> hostile;
    for (const std::string& path :
         {decoy + "/victim.txt", std::string("../decoy/victim.txt"), std::string("..\\decoy\\victim.txt"),
          std::string("C:\\decoy\\victim.txt"), std::string("out/victim.txt"), std::string("out\\new.txt")})
        hostile.push_back(line(path));
    for (const std::string& path :
         {decoy + "/victim.txt", std::string("../decoy/victim.txt"), std::string("out/victim.txt")})
        hostile.push_back("d<" + path + ">\r\n");
    for (const std::string& path : {decoy + "/new", std::string("..\\decoy\\new"), std::string("out/new")})
        hostile.push_back("n<" + path + ">\r\n");
    for (const std::string& path : {decoy + "/prog.sh", std::string("../decoy/prog.sh"), std::string("out/prog.sh"),
                                    std::string("prog.sh")})  // found on the search path only
        hostile.push_back("g<" + path + ">\r\n");
    std::string script;
    for (const auto& l : hostile) script += l;
    script += "n<plugins\\sub>\r\n" + CheckedLine("plugins\\sub\\x.dll", base + "/payload.bin", payload) +
              "d<plugins\\old.dll>\r\ng<.\\start.sh>\r\n";
    WriteFile(mirror + "/zelbase.lst", script);
    auto before = Snapshot(decoy);
    std::string path = decoy + ":" + std::getenv("PATH");
    ScopedEnv searchPath("PATH", path.c_str());

    ASSERT_EQ(RunZel("--mirror " + base + " --system-root " + (dir / "root")), 1) << ReadBytes(work + "/err.txt");
    EXPECT_EQ(ReadBytes(work + "/plugins/sub/x.dll"), payload);
    EXPECT_FALSE(FileExists(work + "/plugins/old.dll"));
    for (int i = 0; i < 200 && !FileExists(work + "/ran"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(FileExists(work + "/ran"));                       // the program of the install folder was started
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // time for a wrongly started one
    EXPECT_EQ(Snapshot(decoy), before);
    EXPECT_TRUE(FilesStartingWith(work, "C:").empty());
    EXPECT_TRUE(FilesStartingWith(work, "..").empty());

    std::string errors = ReadBytes(work + "/err.txt");
    EXPECT_EQ(Count(errors, ": refused path: "), static_cast<int>(hostile.size())) << errors;
    EXPECT_EQ(errors.substr(errors.rfind("zel: ", errors.size() - 2)),
              "zel: " + std::to_string(hostile.size()) + " files failed\n");
    EXPECT_EQ(Count(ReadBytes(work + "/zelupdate.txt"), "Failed update "), static_cast<int>(hostile.size()));
    EXPECT_NE(ReadBytes(work + "/out.txt").find(LoadUpdateString(IDS_FAILED_HEADLINE)), std::string::npos);
}

TEST_F(UpdateRunTest, ZelUpdateInterruptedDuringATransferLeavesNothingBehind) {
    auto server = Http();
    ASSERT_TRUE(server);
    std::string base = "http://127.0.0.1:" + std::to_string(server->port());
    std::string big = PatternBytes(600000, 15);
    WriteFile(mirror + "/big.bin", big);
    WriteFile(mirror + "/zelbase.lst", CheckedLine("big.bin", base + "/stall/big.bin", big));
    std::string root = dir / "root";
    CopyFreshPrefix(root);

    int out = ::open("out.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = ::open("err.txt", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = StartZel({"update", "--mirror", base, "--system-root", root}, out, err);
    ::close(out);
    ::close(err);
    ASSERT_GT(pid, 0);
    // Plain progress lines appear once a second while the file arrives.
    for (int i = 0; i < 300 && ReadBytes(work + "/out.txt").find("Downloaded ") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // The server stalls after its first 4 KiB; the interrupt still ends the run at once.
    auto interrupted = std::chrono::steady_clock::now();
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::milliseconds(1500));
    ASSERT_TRUE(WIFEXITED(status)) << "killed by the interrupt instead of ending the run";
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(ReadBytes(work + "/err.txt").find("update cancelled"), std::string::npos);
    EXPECT_FALSE(FileExists(work + "/big.bin"));
    EXPECT_TRUE(TempLeftovers().empty());
    EXPECT_TRUE(FilesStartingWith(work, "big.bin").empty());
}

}  // namespace
}  // namespace zel::updater::test

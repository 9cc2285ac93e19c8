// End to end: a system root made from a fresh Wine prefix, infected by hand, cleaned by
// `zel scan --disinfect`. Every byte that should change is checked, and every byte that should not.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "database/trojan_base2.h"
#include "platform/wine/wine_server.h"
#include "tests/cure/cure_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zel::testing::ReadText;
using zel::testing::WriteText;

const fs::path kFresh = fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
const fs::path kShortcuts = fs::path(ZEL_SHARED_DIR) / "shortcuts";
const std::string kRunKey = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run]";
const std::string kExeKey = "[Software\\\\Classes\\\\exefile\\\\shell\\\\open\\\\command]";
const std::string kOpenCommand = "@=\"\\\"%1\\\" %*\"\n";

void Insert(std::string& text, const std::string& after, const std::string& what) {
    auto at = text.find(after);
    ASSERT_NE(at, std::string::npos) << after;
    text.insert(at + after.size(), what);
}

// Replaces the time stamps of the named key blocks by "T", so that texts compare apart from them.
std::string WithoutTimes(std::string text, const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
        std::regex stamp(std::regex_replace(key, std::regex(R"([\[\]\\])"), R"(\$&)") + R"( \d+\n#time=[0-9a-f]+\n)");
        text = std::regex_replace(text, stamp, key + " T\n#time=T\n");
    }
    return text;
}

// Every file and symbolic link below `root` with its bytes (or its link target).
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        std::string name = fs::relative(it->path(), root).string();
        if (it->is_symlink()) {
            entries[name] = "-> " + fs::read_symlink(it->path()).string();
            it.disable_recursion_pending();
        } else if (it->is_regular_file()) {
            entries[name] = ReadText(it->path());
        }
    }
    return entries;
}

struct ZelRun {
    int status = -1;
    std::string output;
};

ZelRun RunZel(const std::vector<std::string>& words) {
    int out[2];
    if (::pipe(out) != 0) return {};
    pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        std::vector<char*> argv;
        std::string zel = std::string(ZEL_BINARY_DIR) + "/zel";
        argv.push_back(zel.data());
        std::vector<std::string> copy = words;
        for (auto& word : copy) argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(zel.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ZelRun run;
    char buffer[4096];
    for (ssize_t got; (got = ::read(out[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<std::size_t>(got));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class InfectedPrefix : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Windows());
        fs::create_directories(Startup());
        fs::create_directories(Prefix() / "dosdevices");
        fs::create_directory_symlink("../drive_c", Prefix() / "dosdevices" / "c:");
        fs::create_directory_symlink("/", Prefix() / "dosdevices" / "z:");
        for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) m_reg[name] = ReadText(kFresh / name);
        // The trojan: a real program, so that it can run.
        fs::copy_file("/bin/sleep", Trojan());
        m_trojan_bytes = ReadText(Trojan());
        WriteText(Windows() / "notepad.exe", "MZ not a trojan");
        // Start-up files.
        WriteText(Windows() / "win.ini", ReadText(kFresh / "win.ini") + "[windows]\r\nload=C:\\windows\\a.exe\r\nrun=\r\n");
        WriteText(Windows() / "system.ini",
                  ReadText(kFresh / "system.ini") + "[boot]\r\nshell=explorer.exe C:\\windows\\a.exe\r\n");
        WriteText(DriveC() / "autoexec.bat", "@echo off\r\nC:\\WINDOWS\\A.EXE /hide\r\nset x=1\r\n");
        WriteText(Windows() / "winstart.bat", "C:\\windows\\a.exe\r\n");
        WriteText(Windows() / "wininit.ini", "[rename]\r\nC:\\x.txt=C:\\y.txt\r\n");
        for (const char* name : {"a_exists.lnk", "c_case_upper.lnk", "b_args_workdir.lnk"}) {
            fs::copy_file(kShortcuts / name, Startup() / name);
        }
        // Registry entries, typed into the files by hand as a trojan's installer would leave them.
        std::string& system = m_reg["system.reg"];
        Insert(system, kRunKey + " 1796621271\n#time=1dd860bb4075150\n",
               "\"Evil\"=\"C:\\\\windows\\\\a.exe -s\"\n\"Keep\"=\"C:\\\\windows\\\\notepad.exe\"\n");
        Insert(system, kExeKey + " 1796621271\n#time=1dd860bb4042fa2\n", "@=\"C:\\\\windows\\\\a.exe \\\"%1\\\" %*\"\n");
        system.erase(system.find(kOpenCommand, system.find(kExeKey) + kExeKey.size() + 40), kOpenCommand.size());
        Insert(m_reg["user.reg"], kRunKey + " 1796621271\n#time=1dd860bb406b88a\n",
               "\"Evil\"=\"c:\\\\WINDOWS\\\\A.EXE\"\n\"Other\"=\"x.exe\"\n");
        for (const auto& [name, text] : m_reg) WriteText(Prefix() / name, text);
        // The database: one record with every cure flag and both Run keys.
        CTrojanBase2 base;
        int index = zel::testing::AddTrojanRecord(base, m_trojan_bytes, 0xFF);
        base.AddRegistry(index, HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        base.AddRegistry(index, HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        ASSERT_EQ(base.SaveToCryptFile(Database()), 1);
    }

    fs::path Prefix() const { return m_dir.path() / "prefix"; }
    fs::path DriveC() const { return Prefix() / "drive_c"; }
    fs::path Windows() const { return DriveC() / "windows"; }
    fs::path Startup() const {
        return DriveC() / "users" / "root" / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" /
               "Programs" / "StartUp";
    }
    std::string Trojan() const { return (Windows() / "a.exe").string(); }
    std::string Database() const { return (m_dir.path() / "default.tdb").string(); }

    zel::testing::TempDir m_dir;
    std::map<std::string, std::string> m_reg;
    std::string m_trojan_bytes;
};

pid_t Start(const std::string& program) {
    pid_t child = ::fork();
    if (child == 0) {
        ::execl(program.c_str(), program.c_str(), "300", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until it runs the program, not the copy of the test made by fork.
    for (int i = 0; i < 200; ++i) {
        std::error_code error;
        if (fs::read_symlink("/proc/" + std::to_string(child) + "/exe", error) == program) break;
        ::usleep(10000);
    }
    return child;
}

TEST_F(InfectedPrefix, DisinfectionCleansEveryPlaceAndNothingElse) {
    pid_t trojan = Start(Trojan());
    pid_t bystander = Start("/bin/sleep");
    auto files_before = Snapshot(Prefix());
    ZelRun run = RunZel({"scan", "--disinfect", "--system-root", Prefix().string(), "--db", Database(), Trojan()});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(Trojan() + ": Evil FOUND (type Backdoor, version 1.0), removed\n"), std::string::npos)
        << run.output;

    // The process of the trojan was ended, the other one was not.
    int status = 0;
    EXPECT_EQ(::waitpid(trojan, &status, 0), trojan);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(::waitpid(bystander, nullptr, WNOHANG), 0);
    ::kill(bystander, SIGKILL);
    ::waitpid(bystander, nullptr, 0);

    // Files.
    EXPECT_FALSE(fs::exists(Trojan()));
    EXPECT_EQ(ReadText(Windows() / "notepad.exe"), "MZ not a trojan");
    EXPECT_EQ(ReadText(Windows() / "win.ini"), ReadText(kFresh / "win.ini") + "[windows]\r\nload=\r\nrun=\r\n");
    EXPECT_EQ(ReadText(Windows() / "system.ini"), ReadText(kFresh / "system.ini") + "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(ReadText(DriveC() / "autoexec.bat"), "@echo off\r\nREM BY ZELSCAN C:\\WINDOWS\\A.EXE /hide\r\nset x=1\r\n");
    EXPECT_FALSE(fs::exists(Windows() / "winstart.bat"));
    EXPECT_EQ(ReadText(Windows() / "wininit.ini"), "[rename]\r\nNUL=C:\\windows\\a.exe\r\n");
    EXPECT_FALSE(fs::exists(Startup() / "a_exists.lnk"));
    EXPECT_FALSE(fs::exists(Startup() / "c_case_upper.lnk"));
    EXPECT_EQ(ReadText(Startup() / "b_args_workdir.lnk"), ReadText(kShortcuts / "b_args_workdir.lnk"));

    // Nothing else in the prefix changed, and nothing was left behind (no temporary files).
    const std::set<std::string> removed = {"drive_c/windows/a.exe", "drive_c/windows/winstart.bat",
                                           fs::relative(Startup() / "a_exists.lnk", Prefix()).string(),
                                           fs::relative(Startup() / "c_case_upper.lnk", Prefix()).string()};
    const std::set<std::string> edited = {"drive_c/windows/win.ini",     "drive_c/windows/system.ini",
                                          "drive_c/autoexec.bat",        "drive_c/windows/wininit.ini",
                                          "user.reg",                    "system.reg"};
    auto after = Snapshot(Prefix());
    for (const auto& [name, bytes] : files_before) {
        if (removed.count(name)) {
            EXPECT_EQ(after.count(name), 0u) << name;
        } else if (!edited.count(name)) {
            EXPECT_EQ(after[name], bytes) << name;
        }
    }
    for (const auto& [name, bytes] : after) EXPECT_EQ(files_before.count(name), 1u) << "new: " << name;

    // user.reg: the trojan's Run value is gone, the Run key's time stamp moved, nothing else changed.
    std::string user = ReadText(Prefix() / "user.reg");
    std::string expected_user = m_reg["user.reg"];
    expected_user.erase(expected_user.find("\"Evil\"=\"c:"), std::string("\"Evil\"=\"c:\\\\WINDOWS\\\\A.EXE\"\n").size());
    EXPECT_EQ(WithoutTimes(user, {kRunKey}), WithoutTimes(expected_user, {kRunKey}));
    EXPECT_EQ(user.find(kRunKey + " 1796621271\n"), std::string::npos);  // the stamp did change
    EXPECT_EQ(ReadText(Prefix() / "userdef.reg"), m_reg["userdef.reg"]);

    // system.reg: Run cleaned, exefile restored, comfile and batfile created in Wine's form.
    std::string system = ReadText(Prefix() / "system.reg");
    std::string expected_system = m_reg["system.reg"];
    expected_system.erase(expected_system.find("\"Evil\"=\"C:"),
                          std::string("\"Evil\"=\"C:\\\\windows\\\\a.exe -s\"\n").size());
    std::string hijack = "@=\"C:\\\\windows\\\\a.exe \\\"%1\\\" %*\"\n";
    expected_system.replace(expected_system.find(hijack), hijack.size(), kOpenCommand);
    std::vector<std::string> created;
    for (const char* type : {"batfile", "comfile"}) {
        std::string key = std::string("[Software\\\\Classes\\\\") + type + "\\\\shell\\\\open\\\\command]";
        std::smatch block;
        std::string pattern = std::regex_replace(key, std::regex(R"([\[\]\\])"), R"(\$&)") +
                              R"( \d+\n#time=[0-9a-f]+\n@="\\"%1\\" %\*"\n\n)";
        ASSERT_TRUE(std::regex_search(system, block, std::regex(pattern))) << type;
        // In its sorted place: after the keys that sort before it, before those that sort after.
        std::string before = system.substr(0, static_cast<std::size_t>(block.position(0)));
        std::string previous = before.substr(before.rfind("\n[") + 1, 40);
        std::string next = system.substr(static_cast<std::size_t>(block.position(0) + block.length(0)), 40);
        EXPECT_LT(zel::platform::CompareRegistryNames(previous, key), 0) << previous;
        EXPECT_GT(zel::platform::CompareRegistryNames(next, key), 0) << next;
        system.erase(static_cast<std::size_t>(block.position(0)), static_cast<std::size_t>(block.length(0)));
    }
    EXPECT_EQ(WithoutTimes(system, {kRunKey, kExeKey}), WithoutTimes(expected_system, {kRunKey, kExeKey}));
}

// The kernel names a running program by its real path: a prefix and a file named through a symbolic
// link are still matched with the process, the shortcuts and the Windows path of wininit.ini.
TEST_F(InfectedPrefix, PathsThroughSymbolicLinksReachTheSameFiles) {
    fs::path link = m_dir.path() / "via-link";
    fs::create_directory_symlink(Prefix(), link);
    pid_t trojan = Start(Trojan());
    std::string named = (link / "drive_c" / "windows" / "a.exe").string();
    ZelRun run = RunZel({"scan", "--disinfect", "--system-root", link.string(), "--db", Database(), named});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find(named + ": Evil FOUND (type Backdoor, version 1.0), removed\n"), std::string::npos)
        << run.output;
    int status = 0;
    EXPECT_EQ(::waitpid(trojan, &status, 0), trojan);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(fs::exists(Startup() / "a_exists.lnk"));
    EXPECT_EQ(ReadText(Windows() / "wininit.ini"), "[rename]\r\nNUL=C:\\windows\\a.exe\r\n");
}

TEST_F(InfectedPrefix, FoldersThatAreNoPrefixAreNeverMadeIntoOne) {
    fs::path home = m_dir.path() / "home";
    WriteText(home / "notes.txt", "mine");
    ZelRun run = RunZel({"scan", "--disinfect", "--system-root", home.string(), "--db", Database(), Trojan()});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(Snapshot(home), (std::map<std::string, std::string>{{"notes.txt", "mine"}}));
    EXPECT_EQ(ReadText(Trojan()), m_trojan_bytes);
}

TEST_F(InfectedPrefix, NothingIsTouchedWhileWineRunsOnThePrefix) {
    WriteText(Prefix() / "wineserver", "zel-e2e-" + std::to_string(::getpid()));
    auto lock = zel::platform::WineServerLockPaths(Prefix().string(), "/tmp")[0];
    fs::create_directories(fs::path(lock).parent_path());
    WriteText(lock, "");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t server = ::fork();
    if (server == 0) {
        int fd = ::open(lock.c_str(), O_RDWR);
        struct flock hold {};
        hold.l_type = F_WRLCK;
        ::fcntl(fd, F_SETLK, &hold);
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ZelRun run = RunZel({"scan", "--disinfect", "--system-root", Prefix().string(), "--db", Database(), Trojan()});
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    fs::remove_all(fs::path(lock).parent_path().parent_path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(ReadText(Trojan()), m_trojan_bytes);
    for (const auto& [name, text] : m_reg) EXPECT_EQ(ReadText(Prefix() / name), text) << name;
    EXPECT_TRUE(fs::exists(Windows() / "winstart.bat"));
    EXPECT_TRUE(fs::exists(Startup() / "a_exists.lnk"));
}

}  // namespace

namespace {

TEST_F(InfectedPrefix, JsonLinesSayWhetherTheFileWasDisinfected) {
    ZelRun run = RunZel({"scan", "--disinfect", "--json", "--system-root", Prefix().string(), "--db", Database(),
                         Trojan(), (Windows() / "notepad.exe").string()});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("\"name\": \"Evil\", \"version\": \"1.0\", \"disinfected\": true}\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("notepad.exe\", \"status\": \"clean\"}\n"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(Trojan()));
}

TEST_F(InfectedPrefix, SystemInfoDescribesTheRootWithoutChangingIt) {
    auto files_before = Snapshot(Prefix());
    ZelRun run = RunZel({"system", "info", "--json", "--system-root", Prefix().string()});
    EXPECT_EQ(run.status, 0);
    const std::string startup = Startup().string();
    const std::vector<std::string> parts = {
        "\"kind\": \"wine-prefix\"",
        "\"windows_folder\": \"C:\\\\windows\"",
        "\"windows_folder_on_disk\": \"" + Windows().string() + "\"",
        "\"startup_folder_on_disk\": \"" + startup + "\"",
        "\"startup_from_registry\": true",
        "\"startup_exists\": true",
        "{\"path\": \"" + (Prefix() / "user.reg").string() + "\", \"state\": \"present\"}",
        "\"wine_running\": false",
    };
    for (const auto& part : parts) {
        EXPECT_NE(run.output.find(part), std::string::npos) << part << "\n" << run.output;
    }
    EXPECT_EQ(Snapshot(Prefix()), files_before);

    // With no root named, the private tree is described and not made.
    fs::path data = m_dir.path() / "data";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::unsetenv("ZEL_SYSTEM_ROOT");
    run = RunZel({"system", "info"});
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("folder:          " + (data / "zel" / "system").string() + " (not made yet)\n"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(data));
}

}  // namespace

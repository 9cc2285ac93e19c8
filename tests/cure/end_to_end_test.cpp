// End to end: a system root made from a fresh Wine prefix, infected by hand, cleaned by
// `zel scan --disinfect`. Every byte that should change is checked, and every byte that should not.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <regex>
#include <set>

#include "platform/wine/wine_server.h"
#include "tests/cure/infected_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::testing;

// Replaces the time stamps of the named key blocks by "T", so that texts compare apart from them.
std::string WithoutTimes(std::string text, const std::vector<std::string>& keys) {
    for (const auto& key : keys) {
        std::regex stamp(std::regex_replace(key, std::regex(R"([\[\]\\])"), R"(\$&)") + R"( \d+\n#time=[0-9a-f]+\n)");
        text = std::regex_replace(text, stamp, key + " T\n#time=T\n");
    }
    return text;
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
    EXPECT_EQ(ReadText(DriveC() / "autoexec.bat"),
              "@echo off\r\nREM BY ZELSCAN C:\\WINDOWS\\A.EXE /hide\r\nset x=1\r\n");
    EXPECT_FALSE(fs::exists(Windows() / "winstart.bat"));
    EXPECT_EQ(ReadText(Windows() / "wininit.ini"), "[rename]\r\nNUL=C:\\windows\\a.exe\r\n");
    EXPECT_FALSE(fs::exists(Startup() / "a_exists.lnk"));
    EXPECT_FALSE(fs::exists(Startup() / "c_case_upper.lnk"));
    EXPECT_EQ(ReadText(Startup() / "b_args_workdir.lnk"), ReadText(kShortcuts / "b_args_workdir.lnk"));

    // Nothing else in the prefix changed, and nothing was left behind (no temporary files).
    const std::set<std::string> removed = {"drive_c/windows/a.exe", "drive_c/windows/winstart.bat",
                                           fs::relative(Startup() / "a_exists.lnk", Prefix()).string(),
                                           fs::relative(Startup() / "c_case_upper.lnk", Prefix()).string()};
    const std::set<std::string> edited = {"drive_c/windows/win.ini",
                                          "drive_c/windows/system.ini",
                                          "drive_c/autoexec.bat",
                                          "drive_c/windows/wininit.ini",
                                          "user.reg",
                                          "system.reg"};
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
    expected_user.erase(expected_user.find("\"Evil\"=\"c:"),
                        std::string("\"Evil\"=\"c:\\\\WINDOWS\\\\A.EXE\"\n").size());
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

// `zel system info` refuses what `zel scan --disinfect` refuses, with the same reason.
TEST_F(InfectedPrefix, FoldersThatAreNoPrefixAreNeverMadeIntoOne) {
    fs::path home = m_dir.path() / "home";
    WriteText(home / "notes.txt", "mine");
    ZelRun run = RunZel({"scan", "--disinfect", "--system-root", home.string(), "--db", Database(), Trojan()});
    EXPECT_EQ(run.status, 2);
    ZelRun info = RunZel({"system", "info", "--system-root", home.string()});
    EXPECT_EQ(info.status, 2);
    EXPECT_NE(info.output.find("disinfection:    refused: " + home.string() + " is not a Wine prefix"),
              std::string::npos)
        << info.output;
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
    ZelRun info = RunZel({"system", "info", "--json", "--system-root", Prefix().string()});
    ::kill(server, SIGKILL);
    ::waitpid(server, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    fs::remove_all(fs::path(lock).parent_path().parent_path());
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(info.status, 2);
    EXPECT_NE(info.output.find("\"disinfection\": \"refused\", \"refusal\": \"Wine is running on "), std::string::npos)
        << info.output;
    EXPECT_EQ(ReadText(Trojan()), m_trojan_bytes);
    for (const auto& [name, text] : m_reg) EXPECT_EQ(ReadText(Prefix() / name), text) << name;
    EXPECT_TRUE(fs::exists(Windows() / "winstart.bat"));
    EXPECT_TRUE(fs::exists(Startup() / "a_exists.lnk"));
}

TEST_F(InfectedPrefix, JsonLinesSayWhetherTheFileWasDisinfected) {
    ZelRun run = RunZel({"scan", "--disinfect", "--json", "--system-root", Prefix().string(), "--db", Database(),
                         Trojan(), (Windows() / "notepad.exe").string()});
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(
        run.output.find("\"name\": \"Evil\", \"version\": \"1.0\", \"disinfected\": true, \"failed_steps\": []}\n"),
        std::string::npos)
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
        "\"disinfection\": \"allowed\"}",
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
    EXPECT_NE(run.output.find("folder:          " + (data / "zel" / "system").string() + " (will be made)\n"),
              std::string::npos)
        << run.output;
    EXPECT_FALSE(fs::exists(data));
}

}  // namespace

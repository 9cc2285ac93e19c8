// End to end: every destructive step of `zel scan --disinfect` hits what the record names and
// nothing else, and whatever it cannot do reaches the user.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/cure/infected_prefix.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::testing;

constexpr const char* kSpared = "could not be ended: it is this scanner or one of the processes that started it";

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(InfectedPrefix, OnlyTheTrojansProcessesDieAndNeverTheScannerOrItsParents) {
    // The trojan is a shell, so that it can be the scanner's parent; a copy of the scanner is a
    // trojan too. A.EXE differs from a.exe only in letter case: another program.
    fs::remove(Trojan());
    fs::copy_file("/bin/sh", Trojan());
    std::string twin = (Windows() / "A.EXE").string();
    std::string scanner = (Windows() / "zel.exe").string();
    fs::copy_file("/bin/sleep", twin);
    fs::copy_file(std::string(ZEL_BINARY_DIR) + "/zel", scanner);
    SaveDatabase({{"Evil", ReadText(Trojan()), 0x20, {}}, {"Self", ReadText(scanner), 0, {}}});
    pid_t victim = Start(Trojan(), {"-c", "while :; do sleep 1; done"});
    pid_t bystander = Start(twin);

    std::string command = "'" + scanner + "' scan --disinfect --system-root '" + Prefix().string() + "' --db '" +
                          Database() + "' '" + Trojan() + "' '" + scanner + "'; exit $?";
    ZelRun run = RunZel({"-c", command}, Trojan());

    EXPECT_TRUE(KilledBySigkill(victim));
    EXPECT_EQ(::waitpid(bystander, nullptr, WNOHANG), 0);
    Stop(bystander);
    // Both files are gone; the processes left running are named, and make the cure incomplete.
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_TRUE(Has(run.output, Trojan() + ": Evil FOUND (type Backdoor, version 1.0), removed\n")) << run.output;
    EXPECT_TRUE(Has(run.output, " (" + Trojan() + ") " + kSpared)) << run.output;
    EXPECT_TRUE(Has(run.output, scanner + ": Self FOUND (type Backdoor, version 1.0), removed\n")) << run.output;
    EXPECT_TRUE(Has(run.output, " (" + scanner + ") " + kSpared)) << run.output;
    EXPECT_FALSE(fs::exists(Trojan()));
    EXPECT_TRUE(fs::exists(twin));
    // The shortcut to a.exe went; the one to C:\WINDOWS\A.EXE names the twin and stays.
    EXPECT_FALSE(fs::exists(Startup() / "a_exists.lnk"));
    EXPECT_TRUE(fs::exists(Startup() / "c_case_upper.lnk"));
}

struct stat StatOf(const fs::path& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

TEST_F(InfectedPrefix, EditsKeepOwnersAndStayInsideTheRoot) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving the prefix to another user needs root";
    fs::path outside = m_dir.path() / "outside";
    fs::create_directories(outside / "StartUp");
    // win.ini is a link inside the root: edited where it leads, and stays a link. system.ini,
    // winstart.bat and the Start-up folder lead out of the root: left alone.
    fs::rename(Windows() / "win.ini", DriveC() / "win-real.ini");
    fs::create_symlink("../win-real.ini", Windows() / "win.ini");
    for (const char* name : {"system.ini", "winstart.bat"}) {
        fs::rename(Windows() / name, outside / name);
        fs::create_symlink(outside / name, Windows() / name);
    }
    fs::rename(Startup() / "a_exists.lnk", outside / "StartUp" / "a_exists.lnk");
    fs::remove_all(Startup());
    fs::create_directory_symlink(outside / "StartUp", Startup());
    auto outside_before = Snapshot(outside);
    // The prefix belongs to a user; root cleans it.
    for (const auto& entry : fs::recursive_directory_iterator(Prefix())) {
        ASSERT_EQ(::lchown(entry.path().c_str(), 4321, 4322), 0);
    }
    ASSERT_EQ(::chown(Prefix().c_str(), 4321, 4322), 0);
    fs::permissions(Prefix() / "user.reg", fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(DriveC() / "autoexec.bat", static_cast<fs::perms>(0640));

    ZelRun run = Disinfect({Trojan()});
    EXPECT_EQ(run.status, 2) << run.output;
    EXPECT_FALSE(fs::exists(Trojan()));
    EXPECT_EQ(Snapshot(outside), outside_before);
    for (const char* name : {"system.ini", "winstart.bat"}) {
        EXPECT_TRUE(Has(run.output, "file " + (Windows() / name).string() + " could not be ")) << name << run.output;
        EXPECT_TRUE(fs::is_symlink(Windows() / name));
    }
    EXPECT_TRUE(Has(run.output, "folder " + Startup().string() +
                                    " could not be cleaned: it leads through a symbolic "
                                    "link to " +
                                    (outside / "StartUp").string() + ", outside the system root"))
        << run.output;
    EXPECT_TRUE(fs::is_symlink(Windows() / "win.ini"));
    EXPECT_EQ(ReadText(DriveC() / "win-real.ini"), ReadText(kFresh / "win.ini") + "[windows]\r\nload=\r\nrun=\r\n");
    // Every file edited or made stays the user's, with its mode.
    const std::pair<fs::path, unsigned> kept[] = {{Prefix() / "user.reg", 0600},
                                                  {Prefix() / "system.reg", 0644},
                                                  {DriveC() / "win-real.ini", 0644},
                                                  {DriveC() / "autoexec.bat", 0640},
                                                  {Windows() / "wininit.ini", 0644}};
    for (const auto& [path, mode] : kept) {
        struct stat info = StatOf(path);
        EXPECT_EQ(info.st_uid, 4321u) << path;
        EXPECT_EQ(info.st_gid, 4322u) << path;
        EXPECT_EQ(info.st_mode & 07777, mode) << path;
    }
    EXPECT_NE(ReadText(DriveC() / "autoexec.bat").find("REM BY ZELSCAN"), std::string::npos);
}

TEST_F(InfectedPrefix, FilesThatAreNotRegularAreRefusedWithoutHanging) {
    auto make_fifo = [](const fs::path& path) {
        fs::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    };
    for (const fs::path& path : {Prefix() / "system.reg", Windows() / "win.ini", DriveC() / "autoexec.bat",
                                 Windows() / "winstart.bat", Startup() / "evil.lnk"}) {
        make_fifo(path);
    }
    ZelRun info = RunZel({"system", "info", "--system-root", Prefix().string()}, "", 30);
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(Has(info.output, (Prefix() / "system.reg").string() + " (not a file)")) << info.output;

    ZelRun run = Disinfect({Trojan()});
    EXPECT_EQ(run.status, 2) << run.output;
    const std::string fifo = ": it is a FIFO, not a regular file";
    for (const std::string& failure :
         {"file " + (Windows() / "win.ini").string() + " could not be cleaned" + fifo,
          "file " + (DriveC() / "autoexec.bat").string() + " could not be cleaned" + fifo,
          "file " + (Windows() / "winstart.bat").string() + " could not be deleted" + fifo,
          "shortcut " + (Startup() / "evil.lnk").string() + " could not be read" + fifo,
          "registry key HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Run could not be read: " +
              (Prefix() / "system.reg").string() + fifo,
          "open command HKEY_CLASSES_ROOT\\exefile\\shell\\open\\command could not be restored: " +
              (Prefix() / "system.reg").string() + fifo}) {
        EXPECT_TRUE(Has(run.output, Trojan() + ": " + failure + "\n")) << failure << "\n" << run.output;
    }
    // The other places were cleaned, and the FIFOs are still FIFOs.
    EXPECT_FALSE(fs::exists(Trojan()));
    EXPECT_FALSE(fs::exists(Startup() / "a_exists.lnk"));
    EXPECT_EQ(ReadText(Windows() / "system.ini"), ReadText(kFresh / "system.ini") + "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(ReadText(Prefix() / "user.reg").find("\"Evil\""), std::string::npos);
    EXPECT_TRUE(fs::is_fifo(Prefix() / "system.reg"));
    EXPECT_TRUE(fs::is_fifo(Windows() / "win.ini"));
}

TEST_F(InfectedPrefix, FailedStepsAreNamedInTextAndJsonAndTheExitStatus) {
    // user.reg leads out of the prefix, so its value cannot be removed; b.exe is the trojan reached
    // through a link to a file outside the root, so it cannot be deleted.
    fs::path outside = m_dir.path() / "outside";
    fs::create_directories(outside);
    fs::rename(Prefix() / "user.reg", outside / "user.reg");
    fs::create_symlink(outside / "user.reg", Prefix() / "user.reg");
    fs::copy_file(Trojan(), outside / "b.exe");
    std::string linked = (Windows() / "b.exe").string();
    fs::create_symlink(outside / "b.exe", linked);

    ZelRun run = Disinfect({Trojan(), linked});
    EXPECT_EQ(run.status, 2) << run.output;
    const std::string refused_value =
        Trojan() +
        ": registry value HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Evil could "
        "not be removed: " +
        (Prefix() / "user.reg").string() + " leads through a symbolic link to " + (outside / "user.reg").string() +
        ", outside the Wine prefix, so it is left alone\n";
    const std::string refused_file = linked + ": file " + linked +
                                     " could not be deleted: it leads through a symbolic "
                                     "link to " +
                                     (outside / "b.exe").string() +
                                     ", outside the system root, so it is "
                                     "left alone\n";
    EXPECT_TRUE(Has(run.output, Trojan() + ": Evil FOUND (type Backdoor, version 1.0), removed\n" + refused_value))
        << run.output;
    EXPECT_TRUE(Has(run.output, linked + ": Evil FOUND (type Backdoor, version 1.0), not removed\n")) << run.output;
    EXPECT_TRUE(Has(run.output, refused_file)) << run.output;
    // Nor is its deletion asked of the next start.
    EXPECT_TRUE(Has(run.output, linked + ": file " + (Windows() / "wininit.ini").string() +
                                    " could not be written: the "
                                    "request would name " +
                                    linked + ", but it leads through a symbolic link"))
        << run.output;
    EXPECT_TRUE(Has(run.output, "Disinfection: 1 removed, 1 not removed, 3 failed steps.\n")) << run.output;
    EXPECT_TRUE(fs::exists(outside / "b.exe"));
    EXPECT_TRUE(Has(ReadText(outside / "user.reg"), "\"Evil\"=")) << "the file outside was not written";

    ZelRun json = Disinfect({"--json", linked});
    EXPECT_EQ(json.status, 2);
    EXPECT_TRUE(Has(json.output, "\"disinfected\": false, \"failed_steps\": [{\"step\": \"wininit-request\""))
        << json.output;
    EXPECT_TRUE(Has(json.output, "{\"step\": \"delete\", \"target\": \"" + linked +
                                     "\", \"reason\": \"it leads through a symbolic link to "))
        << json.output;
}

// Wine reads a repeated value name (in any case, in a repeated key too) with the data of its last
// appearance: every appearance must go, or the trojan still starts.
TEST_F(InfectedPrefix, EveryAppearanceOfARepeatedValueIsRemoved) {
    std::string user = m_reg["user.reg"];
    Insert(user, "\"Other\"=\"x.exe\"\n", "\"EVIL\"=\"c:\\\\tools\\\\ok.exe\"\n");
    user +=
        "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\RUN] "
        "1796621271\n\"evil\"=\"c:\\\\windows\\\\a.exe\"\n";
    WriteText(Prefix() / "user.reg", user);
    ZelRun run = Disinfect({Trojan()});
    EXPECT_EQ(run.status, 1) << run.output;
    std::string after = ReadText(Prefix() / "user.reg");
    for (const char* gone : {"\"Evil\"", "\"EVIL\"", "\"evil\""}) EXPECT_FALSE(Has(after, gone)) << gone << after;
    EXPECT_TRUE(Has(after, "\"Other\"=\"x.exe\"\n"));
}

}  // namespace

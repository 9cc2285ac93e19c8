// The start-up cleaning routines, each on the files and keys it edits.
#include <gtest/gtest.h>

#include "sysutil/registry_functions.h"
#include "tests/cure/cure_fixture.h"

namespace {

using namespace zel::testing;
namespace fs = std::filesystem;
using zel::platform::RegistryRoot;
using zel::platform::RegistryStatus;
using zel::platform::RegistryValue;

class StartupCleaning : public ::testing::Test {
protected:
    void SetUp() override { m_module.SetFile((m_world.Windows() / "a.exe").string()); }
    // Runs `routine` on a file holding `before` and returns what the file then holds.
    template <typename Routine>
    std::string Clean(const fs::path& file, const std::string& before, Routine routine) {
        WriteText(file, before);
        routine();
        return ReadText(file);
    }
    std::string AutoexecAfter(const std::string& text) {
        return Clean(m_world.DriveC() / "AUTOEXEC.BAT", text, [&] { m_module.CureAutoexecBat(); });
    }
    std::string WinIniAfter(const std::string& text) {
        return Clean(m_world.Windows() / "win.ini", text, [&] { m_module.CureWinIni(); });
    }
    std::string SystemIniAfter(const std::string& text) {
        return Clean(m_world.Windows() / "SYSTEM.INI", text, [&] { m_module.CureSystemIni(); });
    }

    CureWorld m_world;
    CTrojanBase2 m_base;
    CureModuleForTest m_module{&m_base};
};

TEST_F(StartupCleaning, AutoexecLinesAreRemarkedOnce) {
    EXPECT_EQ(AutoexecAfter("@echo off\r\nC:\\TOOLS\\A.EXE /q\r\nc:\\a.exe\r\n"),
              "@echo off\r\nREM BY ZELSCAN C:\\TOOLS\\A.EXE /q\r\nc:\\a.exe\r\n");
    EXPECT_EQ(AutoexecAfter("rem c:\\a.exe\r\n"), "rem c:\\a.exe\r\n");
    EXPECT_EQ(AutoexecAfter("REM c:\\a.exe\r\nc:\\a.exe\r\n"), "REM c:\\a.exe\r\nc:\\a.exe\r\n");
    EXPECT_EQ(AutoexecAfter("c:\\xa.exe"), "REM BY ZELSCAN c:\\xa.exe");  // a substring is enough
    EXPECT_EQ(AutoexecAfter("path c:\\dos\r\n"), "path c:\\dos\r\n");
}

TEST_F(StartupCleaning, WinIniEmptiesLoadAndRunLines) {
    EXPECT_EQ(WinIniAfter("[windows]\r\nload=a.exe b.exe\r\nrun=\r\n"), "[windows]\r\nload=\r\nrun=\r\n");
    EXPECT_EQ(WinIniAfter("[windows]\r\nRUN=A.EXE\r\n"), "[windows]\r\nrun=\r\n");
    EXPECT_EQ(WinIniAfter("[windows]\nrun=c:\\a.exe"), "[windows]\nrun=");  // no final line end
    // The first mention decides: a line that is neither load nor run leaves the file alone.
    EXPECT_EQ(WinIniAfter("[x]\r\nfile=a.exe\r\nload=a.exe\r\n"), "[x]\r\nfile=a.exe\r\nload=a.exe\r\n");
}

TEST_F(StartupCleaning, SystemIniShellIsReset) {
    EXPECT_EQ(SystemIniAfter("[boot]\r\nshell=explorer.exe a.exe\r\n[x]\r\n"),
              "[boot]\r\nshell=Explorer.exe\r\n[x]\r\n");
    EXPECT_EQ(SystemIniAfter("[boot]\r\nshell=explorer.exe\r\ndrv=a.exe\r\n"),
              "[boot]\r\nshell=explorer.exe\r\ndrv=a.exe\r\n");
}

TEST_F(StartupCleaning, FilesThatDoNotNameTheTrojanAreNotRewritten) {
    for (const char* name : {"win.ini", "system.ini"}) WriteText(m_world.Windows() / name, "[boot]\r\nshell=x\r\n");
    WriteText(m_world.DriveC() / "autoexec.bat", "echo\r\n");
    auto stamp = [&](const fs::path& p) { return std::make_pair(fs::last_write_time(p), fs::status(p).permissions()); };
    fs::last_write_time(m_world.Windows() / "win.ini", fs::file_time_type::clock::now() - std::chrono::hours(1));
    auto before = stamp(m_world.Windows() / "win.ini");
    auto inode = fs::hard_link_count(m_world.Windows() / "win.ini");
    m_module.CureWinIni();
    m_module.CureSystemIni();
    m_module.CureAutoexecBat();
    EXPECT_EQ(stamp(m_world.Windows() / "win.ini"), before);
    EXPECT_EQ(fs::hard_link_count(m_world.Windows() / "win.ini"), inode);
    EXPECT_EQ(ReadText(m_world.DriveC() / "autoexec.bat"), "echo\r\n");
    // Missing files stay missing.
    fs::remove(m_world.Windows() / "win.ini");
    m_module.CureWinIni();
    EXPECT_FALSE(fs::exists(m_world.Windows() / "win.ini"));
}

TEST_F(StartupCleaning, WininitAsksWindowsToDeleteTheFileByItsWindowsPath) {
    WriteText(m_world.Windows() / "wininit.ini", "[rename]\r\nC:\\x=C:\\y\r\n");
    m_module.CureAutoeraseWininit();
    EXPECT_EQ(ReadText(m_world.Windows() / "wininit.ini"), "[rename]\r\nNUL=C:\\windows\\a.exe\r\n");
    m_module.SetFile("/opt/outside/B.EXE");
    m_module.CureAutoeraseWininit();
    EXPECT_EQ(ReadText(m_world.Windows() / "wininit.ini"), "[rename]\r\nNUL=Z:\\opt\\outside\\B.EXE\r\n");
    m_module.CureWininitIni();
    EXPECT_FALSE(fs::exists(m_world.Windows() / "wininit.ini"));
    WriteText(m_world.Windows() / "WinStart.bat", "x");
    m_module.CureWinstartBat();
    EXPECT_FALSE(fs::exists(m_world.Windows() / "WinStart.bat"));
}

TEST_F(StartupCleaning, StartupShortcutsToTheFileAreDeleted) {
    fs::path shortcuts = fs::path(ZEL_SHARED_DIR) / "shortcuts";
    for (const char* name : {"a_exists.lnk", "c_case_upper.lnk", "b_args_workdir.lnk", "x1_truncated_0x30.lnk",
                             "h3_idlist_mycomputer.lnk"}) {
        fs::copy_file(shortcuts / name, m_world.Startup() / name);
    }
    fs::copy_file(shortcuts / "a_exists.lnk", m_world.Startup() / "upper.LNK");
    fs::copy_file(shortcuts / "a_exists.lnk", m_world.Startup() / "not-a-shortcut.txt");
    WriteText(m_world.Windows() / "a.exe", "MZ");
    EXPECT_EQ(m_module.GetShortcutPath((m_world.Startup() / "c_case_upper.lnk").string()),
              (m_world.Windows() / "a.exe").string());
    EXPECT_EQ(m_module.GetShortcutPath((m_world.Startup() / "x1_truncated_0x30.lnk").string()), "");
    m_module.CureStartUp();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_world.Startup())) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"b_args_workdir.lnk", "h3_idlist_mycomputer.lnk", "not-a-shortcut.txt",
                                              "x1_truncated_0x30.lnk"}));
}

TEST_F(StartupCleaning, StartupFolderComesFromTheRegistry) {
    fs::path elsewhere = m_world.DriveC() / "Autostart";
    fs::create_directories(elsewhere);
    fs::copy_file(fs::path(ZEL_SHARED_DIR) / "shortcuts" / "a_exists.lnk", elsewhere / "x.lnk");
    fs::copy_file(fs::path(ZEL_SHARED_DIR) / "shortcuts" / "a_exists.lnk", m_world.Startup() / "x.lnk");
    ASSERT_EQ(
        RegistrySetString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                          "StartUp", "C:\\AUTOSTART"),
        1);
    m_module.CureStartUp();
    EXPECT_FALSE(fs::exists(elsewhere / "x.lnk"));
    EXPECT_TRUE(fs::exists(m_world.Startup() / "x.lnk"));
}

TEST_F(StartupCleaning, OpenCommandsAreRestoredAndCreated) {
    auto& registry = m_world.Registry();
    ASSERT_EQ(RegistrySetString(HKEY_CLASSES_ROOT, "exefile\\shell\\open\\command", "", "evil.exe \"%1\" %*"), 1);
    m_module.CureTracerRegistry();
    for (const char* type : {"exefile", "comfile", "batfile"}) {
        RegistryValue value;
        ASSERT_EQ(
            registry.QueryValue(RegistryRoot::kClassesRoot, std::string(type) + "\\shell\\open\\command", "", value),
            RegistryStatus::kOk);
        EXPECT_EQ(value.data, std::string("\"%1\" %*\0", 8)) << type;
    }
}

TEST_F(StartupCleaning, RegistryValuesNamingTheFileAreDeleted) {
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    auto& registry = m_world.Registry();
    ASSERT_EQ(registry.CreateKey(RegistryRoot::kLocalMachine, run), RegistryStatus::kOk);
    auto put = [&](const std::string& name, std::uint32_t type, const std::string& data) {
        ASSERT_EQ(registry.SetValue(RegistryRoot::kLocalMachine, run, RegistryValue{name, type, data}),
                  RegistryStatus::kOk);
    };
    put("P", zel::platform::kRegSz, std::string("c:\\windows\\a.exe\0", 17));
    put("Q", zel::platform::kRegSz, std::string("C:\\WINDOWS\\A.EXE -q\0", 20));
    put("Qb", zel::platform::kRegBinary, "a.exe");
    put("R", zel::platform::kRegSz, std::string("c:\\windows\\b.exe\0", 17));
    // Longer than the 8-bit functions' buffers: still examined, and so are the values after it.
    put("S", zel::platform::kRegSz, std::string(1100, 'x') + "a.exe" + '\0');
    put("T", zel::platform::kRegSz, std::string("a.exe\0", 6));
    m_module.CureRegistry(HKEY_LOCAL_MACHINE, run);
    std::vector<std::string> left;
    RegistryValue value;
    while (registry.EnumValue(RegistryRoot::kLocalMachine, run, left.size(), value) == RegistryStatus::kOk) {
        left.push_back(value.name);
    }
    EXPECT_EQ(left, (std::vector<std::string>{"Qb", "R"}));
    EXPECT_TRUE(m_module.GetReport().failed_steps.empty());
}

TEST_F(StartupCleaning, RefusedDeletionsAreReportedAndDoNotLoopForever) {
    zel::platform::MemoryRegistry registry;
    zel::platform::ScopedServices services({.registry = &registry});
    ASSERT_EQ(registry.CreateKey(RegistryRoot::kCurrentUser, "Run"), RegistryStatus::kOk);
    ASSERT_EQ(registry.SetValue(RegistryRoot::kCurrentUser, "Run",
                                RegistryValue{"P", zel::platform::kRegSz, std::string("a.exe\0", 6)}),
              RegistryStatus::kOk);
    registry.RefuseWrites("Wine is running");
    m_module.CureRegistry(HKEY_CURRENT_USER, "Run");
    EXPECT_EQ(registry.QueryValue(RegistryRoot::kCurrentUser, "Run", "P", *std::make_unique<RegistryValue>()),
              RegistryStatus::kOk);
    ASSERT_EQ(m_module.GetReport().failed_steps.size(), 1u);
    EXPECT_EQ(m_module.GetReport().failed_steps[0].Text(),
              "registry value HKEY_CURRENT_USER\\Run\\P could not be removed: Wine is running");
}

}  // namespace

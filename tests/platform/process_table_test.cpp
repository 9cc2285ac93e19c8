// The /proc process table, on a folder laid out like /proc and on the real one.
#include "platform/posix/proc_process_table.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/services.h"
#include "platform/wine/wine_prefix_root.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::platform;

class FakeProc : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "proc");
        fs::create_directories(m_dir / "prefix" / "drive_c" / "windows");
        std::ofstream(m_dir / "prefix" / "drive_c" / "windows" / "a.exe") << "MZ";
    }
    void AddProcess(const std::string& id, const std::string& exe, const std::string& cmdline = "",
                    const std::string& environment = "") {
        fs::path folder = m_dir / "proc" / id;
        fs::create_directories(folder);
        fs::create_symlink(exe, folder / "exe");
        std::ofstream(folder / "cmdline", std::ios::binary) << cmdline;
        std::ofstream(folder / "environ", std::ios::binary) << environment;
    }
    zel::testing::TempDir m_temp;
    fs::path m_dir = m_temp.path();
};

TEST_F(FakeProc, ListsNumericFoldersAndReadsProgramFiles) {
    AddProcess("17", "/usr/bin/plain");
    AddProcess("4", "/opt/gone (deleted)");
    fs::create_directories(m_dir / "proc" / "self");
    fs::create_directories(m_dir / "proc" / "sys");
    ProcProcessTable table((m_dir / "proc").string());
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(table.ListIds(ids));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{4, 17}));
    std::string path;
    ASSERT_TRUE(table.ProgramPath(17, path));
    EXPECT_EQ(path, "/usr/bin/plain");
    ASSERT_TRUE(table.ProgramPath(4, path));
    EXPECT_EQ(path, "/opt/gone");
    EXPECT_FALSE(table.ProgramPath(99, path));
    ProcProcessTable missing((m_dir / "nothing").string());
    EXPECT_FALSE(missing.ListIds(ids));
}

TEST_F(FakeProc, WineProcessesOnTheSystemRootRunTheirWindowsProgram) {
    std::string prefix = (m_dir / "prefix").string();
    std::string cmd("C:\\WINDOWS\\A.EXE\0/q\0", 19);
    const std::string nul(1, '\0');
    AddProcess("10", "/usr/lib/wine/wine64-preloader", cmd, "HOME=/root" + nul + "WINEPREFIX=" + prefix + nul);
    AddProcess("11", "/usr/lib/wine/wine64-preloader", cmd, "HOME=" + (m_dir / "other").string() + nul);
    AddProcess("12", "/usr/lib/wine/wine64-preloader", cmd, "HOME=" + m_dir.string() + nul);
    fs::create_directory_symlink(m_dir / "prefix", m_dir / ".wine");
    WinePrefixRoot root(prefix);
    ScopedServices services({.system_root = &root});
    ProcProcessTable table((m_dir / "proc").string());
    std::string path;
    ASSERT_TRUE(table.ProgramPath(10, path));
    EXPECT_EQ(path, prefix + "/drive_c/windows/a.exe");
    ASSERT_TRUE(table.ProgramPath(11, path));  // another prefix: the loader itself
    EXPECT_EQ(path, "/usr/lib/wine/wine64-preloader");
    ASSERT_TRUE(table.ProgramPath(12, path));  // ~/.wine is this prefix
    EXPECT_EQ(path, prefix + "/drive_c/windows/a.exe");
}

TEST_F(FakeProc, WineCommandLinesMayQuoteTheProgramOrCarryItsArguments) {
    std::string prefix = (m_dir / "prefix").string();
    fs::create_directories(m_dir / "prefix" / "drive_c" / "Program Files" /
                           "\xc3\x9c"
                           "ber");
    std::ofstream(m_dir / "prefix" / "drive_c" / "Program Files" /
                  "\xc3\x9c"
                  "ber" /
                  "b c.exe")
        << "MZ";
    const std::string env = "WINEPREFIX=" + prefix + std::string(1, '\0');
    AddProcess("20", "/usr/lib/wine/wine64-preloader",
               "\"C:\\program files\\\xc3\x9c"
               "ber\\B C.EXE\" /x",
               env);
    AddProcess("21", "/usr/lib/wine/wine64-preloader", "C:\\windows\\a.exe /q -w", env);
    AddProcess("22", "/usr/lib/wine/wine64", std::string("wineserver\0", 11), env);
    WinePrefixRoot root(prefix);
    ScopedServices services({.system_root = &root});
    ProcProcessTable table((m_dir / "proc").string());
    std::string path;
    ASSERT_TRUE(table.ProgramPath(20, path));
    EXPECT_EQ(path, prefix +
                        "/drive_c/Program Files/\xc3\x9c"
                        "ber/b c.exe");
    ASSERT_TRUE(table.ProgramPath(21, path));
    EXPECT_EQ(path, prefix + "/drive_c/windows/a.exe");
    ASSERT_TRUE(table.ProgramPath(22, path));  // no Windows program: the loader
    EXPECT_EQ(path, "/usr/lib/wine/wine64");
}

TEST(RealProc, FindsItselfAndRefusesProcessGroups) {
    ProcProcessTable table;
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(table.ListIds(ids));
    EXPECT_NE(std::find(ids.begin(), ids.end(), table.OwnId()), ids.end());
    std::string path;
    ASSERT_TRUE(table.ProgramPath(table.OwnId(), path));
    EXPECT_EQ(path, table.OwnPath());
    EXPECT_FALSE(table.Terminate(0));
    EXPECT_FALSE(table.Terminate(0xFFFFFFFFu));
}

}  // namespace

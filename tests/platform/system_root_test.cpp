// A Wine prefix as system root: drive mappings both ways and case-blind resolution.
#include "platform/wine/wine_prefix_root.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zel::platform::WinePrefixRoot;

class WinePrefixPaths : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_dir / "drive_c" / "windows");
        fs::create_directories(m_dir / "drive_c" / "Program Files" / "Tool");
        fs::create_directories(m_dir / "dosdevices");
        fs::create_directory_symlink("../drive_c", m_dir / "dosdevices" / "c:");
        fs::create_directory_symlink("/", m_dir / "dosdevices" / "z:");
        fs::create_directory_symlink(m_dir / "elsewhere", m_dir / "dosdevices" / "d:");
        std::ofstream(m_dir / "drive_c" / "windows" / "WIN.INI") << "x";
        std::ofstream(m_dir / "drive_c" / "windows" /
                      "\xc3\x9c"
                      "ber.exe")
            << "x";  // "Über" in UTF-8
    }
    zel::testing::TempDir m_temp;
    fs::path m_dir = m_temp.path();
};

TEST_F(WinePrefixPaths, WindowsPathsResolveWithoutRegardToCase) {
    WinePrefixRoot root(m_dir.string());
    std::string c = (m_dir / "drive_c").string();
    EXPECT_EQ(root.ToDiskPath("C:\\WINDOWS\\win.ini"), c + "/windows/WIN.INI");
    EXPECT_EQ(root.ToDiskPath("c:/windows/./system32/../win.ini"), c + "/windows/WIN.INI");
    EXPECT_EQ(root.ToDiskPath("c:\\autoexec.bat"), c + "/autoexec.bat");
    EXPECT_EQ(root.ToDiskPath("C:\\program files\\TOOL\\New Dir\\A.EXE"), c + "/Program Files/Tool/New Dir/A.EXE");
    EXPECT_EQ(root.ToDiskPath("C:\\windows\\\xfc"
                              "BER.exe"),
              c + "/windows/\xc3\x9c"
                  "ber.exe");
    EXPECT_EQ(root.ToDiskPath("C:\\..\\..\\etc"), c + "/etc");  // never above the drive
    EXPECT_EQ(root.ToDiskPath("Z:\\tmp"), "/tmp");
    EXPECT_EQ(root.ToDiskPath("D:\\x"), (m_dir / "elsewhere" / "x").string());
    EXPECT_EQ(root.ToDiskPath("Q:\\x"), "");
    EXPECT_EQ(root.ToDiskPath("\\\\server\\share"), "");
    EXPECT_EQ(root.ToDiskPath("relative\\a.exe"), "");
}

TEST_F(WinePrefixPaths, DiskPathsMapBackToTheLongestDrive) {
    WinePrefixRoot root(m_dir.string());
    EXPECT_EQ(root.ToWindowsPath((m_dir / "drive_c" / "windows" / "a.exe").string()), "C:\\windows\\a.exe");
    EXPECT_EQ(root.ToWindowsPath((m_dir / "drive_c").string()), "C:\\");
    EXPECT_EQ(root.ToWindowsPath("/tmp/x/a.exe"), "Z:\\tmp\\x\\a.exe");
    EXPECT_EQ(root.ToWindowsPath((m_dir / "elsewhere" / "b").string()), "D:\\b");
    EXPECT_EQ(root.ToWindowsPath((m_dir / "drive_c" /
                                  "\xc3\x9c"
                                  "ber.exe")
                                     .string()),
              "C:\\\xdc"
              "ber.exe");
}

TEST_F(WinePrefixPaths, APrefixWithoutDriveFolderGetsWinesDefaults) {
    fs::remove_all(m_dir / "dosdevices");
    WinePrefixRoot root(m_dir.string());
    EXPECT_EQ(root.ToDiskPath("C:\\Windows"), (m_dir / "drive_c" / "windows").string());
    EXPECT_EQ(root.ToWindowsPath("/usr/bin/x"), "Z:\\usr\\bin\\x");
    ASSERT_EQ(root.CreateSkeleton(), "");
    EXPECT_EQ(fs::read_symlink(m_dir / "dosdevices" / "c:"), "../drive_c");
    EXPECT_EQ(root.Kind(), "wine-prefix");
    EXPECT_EQ(root.WindowsFolder(), "C:\\windows");
}

TEST_F(WinePrefixPaths, SkeletonsGoOnlyIntoEmptyFoldersOrPrefixes) {
    fs::path empty = m_dir / "empty", other = m_dir / "other";
    fs::create_directories(empty);
    fs::create_directories(other / "Documents");
    EXPECT_EQ(WinePrefixRoot((m_dir / "new" / "root").string()).CreateSkeleton(), "");
    EXPECT_TRUE(fs::is_directory(m_dir / "new" / "root" / "drive_c" / "windows"));
    EXPECT_EQ(WinePrefixRoot(empty.string()).CreateSkeleton(), "");
    EXPECT_EQ(fs::read_symlink(empty / "dosdevices" / "z:"), "/");
    EXPECT_NE(WinePrefixRoot(other.string()).CreateSkeleton(), "");
    EXPECT_FALSE(fs::exists(other / "drive_c"));
    EXPECT_EQ(WinePrefixRoot(m_dir.string()).CreateSkeleton(), "");  // a prefix already
}

TEST_F(WinePrefixPaths, APrefixReachedThroughASymbolicLinkMapsToItsRealFolder) {
    fs::create_directory_symlink(m_dir, m_dir.string() + "-link");
    WinePrefixRoot root(m_dir.string() + "-link");
    EXPECT_EQ(root.Folder(), m_dir.string());
    EXPECT_EQ(root.ToDiskPath("C:\\windows\\win.ini"), (m_dir / "drive_c" / "windows" / "WIN.INI").string());
    EXPECT_EQ(root.ToWindowsPath((m_dir / "drive_c" / "a.exe").string()), "C:\\a.exe");
    EXPECT_EQ(root.ToWindowsPath(m_dir.string() + "-link/drive_c/a.exe"), "C:\\a.exe");
    fs::remove(m_dir.string() + "-link");
}

TEST_F(WinePrefixPaths, StartupFolderDefaultsToTheProfileInTheRegistry) {
    fs::copy_file(fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh" / "user.reg", m_dir / "user.reg");
    WinePrefixRoot root(m_dir.string());
    EXPECT_EQ(root.DefaultStartupFolder(),
              "C:\\users\\root\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp");
    EXPECT_EQ(root.InUseBy(), "");
    EXPECT_EQ(root.RegistryFiles().size(), 3u);
}

}  // namespace

// The running machine as the system root, and the refusal of a folder in its place.
#include "platform/system_root.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/win32/wide_text.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;

TEST(RunningMachineRoot, MapsWindowsPathsOfItsOwnDrivesOnly) {
    auto root = OpenSystemRoot(DefaultSystemRootFolder());
    EXPECT_EQ(root->Kind(), "running-machine");
    EXPECT_EQ(root->Refusal(), "");
    EXPECT_EQ(root->CreateSkeleton(), "");
    wchar_t windows[MAX_PATH + 1] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    EXPECT_EQ(root->WindowsFolder(), win32::AnsiFromWide(windows));
    EXPECT_EQ(root->Folder(), std::string(1, static_cast<char>(windows[0])) + ":\\");
    EXPECT_EQ(root->ToDiskPath(root->WindowsFolder() + "\\system32\\..\\.\\win.ini"),
              win32::Utf8FromWide(windows) + "\\win.ini");
    EXPECT_EQ(root->DriveFolder("c:/x"), "C:\\");
    // Not a file of a drive: relative, device, zero byte, a drive the machine lacks.
    for (const std::string& path : {std::string("windows\\win.ini"), std::string("\\\\.\\C:"),
                                    std::string("C:\\a\0b", 6), std::string("C:\\x\\NUL"), std::string("Q:\\x")}) {
        EXPECT_EQ(root->ToDiskPath(path), "") << path;
    }
    EXPECT_EQ(root->DriveFolder("Q:\\x"), "");
    // Names in UTF-8 on disk and in the ANSI code page as Windows paths, both ways.
    zel::testing::TempDir temp;
    const std::string disk = win32::Utf8FromWide((temp.path() / L"caf\u00e9.exe").wstring());
    const std::string windows_path = root->ToWindowsPath(disk);
    EXPECT_EQ(windows_path.substr(windows_path.size() - 8), "caf\xe9.exe");
    EXPECT_EQ(root->ToDiskPath(windows_path), disk);
    EXPECT_NE(root->DefaultStartupFolder(), "");
    EXPECT_EQ(root->GetRegistry().OpenKey(RegistryRoot::kLocalMachine, "Software"), RegistryStatus::kOk);
}

TEST(RunningMachineRoot, AFolderInItsPlaceChangesNothing) {
    auto root = OpenSystemRoot("C:\\elsewhere");
    EXPECT_NE(root->Refusal().find("C:\\elsewhere"), std::string::npos) << root->Refusal();
    EXPECT_EQ(root->CreateSkeleton(), root->Refusal());
    Registry& registry = root->GetRegistry();
    EXPECT_EQ(registry.WriteRefusal(), root->Refusal());
    EXPECT_EQ(registry.CreateKey(RegistryRoot::kCurrentUser, "Software\\ZelTest-refused"), RegistryStatus::kLocked);
    EXPECT_EQ(registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\ZelTest-refused"), RegistryStatus::kNotFound);
}

}  // namespace

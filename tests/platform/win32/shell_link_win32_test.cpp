// Shortcuts read through the system's shell-link object: ones it wrote itself under names outside
// the ANSI code page, and the shared fixtures, where it must agree with our own parser.
#include "platform/shell_link.h"

#include "platform/win32/windows_api.h"
// After <windows.h>, which they need.
#include <objbase.h>
#include <shlguid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/win32/wide_text.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using zel::platform::ReadShortcutTarget;
using zel::platform::win32::Utf8FromWide;

// Saves a shortcut to `target` at `path` through the shell-link object.
bool MakeShortcut(const fs::path& path, const std::wstring& target) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    bool saved = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                            reinterpret_cast<void**>(&link))) &&
                 SUCCEEDED(link->SetPath(target.c_str())) &&
                 SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                 SUCCEEDED(file->Save(path.c_str(), TRUE));
    if (file) file->Release();
    if (link) link->Release();
    CoUninitialize();
    return saved;
}

TEST(ShellLinkWin32, ReadsWhatTheShellWroteUnderAnyName) {
    zel::testing::TempDir temp;
    const fs::path target = temp.path() / L"caf\u00e9.exe";
    std::ofstream(target) << "MZ";
    const fs::path shortcut = temp.path() / L"\u044f\u0440\u043b\u044b\u043a-\u30ea\u30f3\u30af.lnk";
    ASSERT_TRUE(MakeShortcut(shortcut, target.wstring()));
    std::string unreadable = "?";
    std::string read = ReadShortcutTarget(Utf8FromWide(shortcut.wstring()), &unreadable);
    EXPECT_EQ(read, zel::platform::win32::AnsiFromWide(target.wstring()));
    EXPECT_EQ(unreadable, "");
    // A target outside the ANSI code page cannot be named in it: reported, never guessed at (Wine's
    // shortcut keeps only a lossy form of it, Windows' the whole name).
    const fs::path japanese = temp.path() / L"\u30c8\u30ed\u30a4.lnk";
    std::ofstream(temp.path() / L"\u30c8\u30ed\u30a4.exe") << "MZ";
    ASSERT_TRUE(MakeShortcut(japanese, (temp.path() / L"\u30c8\u30ed\u30a4.exe").wstring()));
    EXPECT_EQ(ReadShortcutTarget(Utf8FromWide(japanese.wstring()), &unreadable), "");
    EXPECT_NE(unreadable, "");
    // A folder is refused unopened; a missing file is nothing to report.
    EXPECT_EQ(ReadShortcutTarget(Utf8FromWide(temp.path().wstring()), &unreadable), "");
    EXPECT_NE(unreadable, "");
    EXPECT_EQ(ReadShortcutTarget(Utf8FromWide((temp.path() / "none.lnk").wstring()), &unreadable), "");
    EXPECT_EQ(unreadable, "");
}

TEST(ShellLinkWin32, AgreesWithOurParserOnTheSharedShortcuts) {
    const fs::path folder = fs::path(ZEL_SHARED_DIR) / "shortcuts";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".lnk") continue;
        const auto parsed = zel::platform::ParseShellLink(zel::testing::ReadBytes(entry.path()));
        std::string unreadable;
        const std::string read = ReadShortcutTarget(Utf8FromWide(entry.path().wstring()), &unreadable);
        std::string expected = parsed ? parsed->target : "";
        // A lossy target ('?' for characters its writer could not spell) is reported instead.
        const bool lossy = expected.find('?') != std::string::npos;
        EXPECT_EQ(read, lossy ? "" : expected) << entry.path().filename().string();
        EXPECT_EQ(unreadable.empty(), !lossy) << entry.path().filename().string() << ": " << unreadable;
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

}  // namespace

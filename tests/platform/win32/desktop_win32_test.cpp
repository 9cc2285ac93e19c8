// The Windows desktop end to end: a program of ours opened by the shell under a name outside the
// ANSI code page shows its window, which is found by title and closed by a posted WM_CLOSE, while
// a broadcast is never posted. Needs a display (under Wine: an X server, e.g. xvfb-run).
#include "platform/desktop.h"

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/win32/wide_text.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;

// Polls `found` every 50 ms for up to 20 s.
template <typename Found>
bool Eventually(Found found) {
    for (int i = 0; i < 400; ++i) {
        if (found()) return true;
        Sleep(50);
    }
    return false;
}

TEST(DesktopWin32, OpensAProgramFindsItsWindowAndClosesIt) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display to show windows on";
    zel::testing::TempDir temp;
    const std::filesystem::path program = temp.path() / L"\u043e\u043a\u043d\u043e-\u7a93.exe";
    std::filesystem::copy_file(std::getenv("ZEL_TEST_PROGRAM"), program);
    const std::string title = "Zel test window " + std::to_string(GetCurrentProcessId());
    Desktop& desktop = SystemDesktop();
    EXPECT_EQ(desktop.FindTopLevelWindow(title), 0u);

    SetEnvironmentVariableW(L"ZEL_TEST_WINDOW_TITLE", win32::WideFromUtf8(title)->c_str());
    const bool opened = desktop.OpenItem(win32::Utf8FromWide(program.wstring()), kShowNormal);
    SetEnvironmentVariableW(L"ZEL_TEST_WINDOW_TITLE", nullptr);
    ASSERT_TRUE(opened);
    WindowId window = 0;
    ASSERT_TRUE(Eventually([&] { return (window = desktop.FindTopLevelWindow(title)) != 0; }));

    desktop.PostWindowMessage(reinterpret_cast<WindowId>(HWND_BROADCAST), WM_CLOSE);
    desktop.PostWindowMessage(0, WM_CLOSE);
    Sleep(500);
    EXPECT_EQ(desktop.FindTopLevelWindow(title), window);
    desktop.PostWindowMessage(window, WM_CLOSE);
    EXPECT_TRUE(Eventually([&] { return desktop.FindTopLevelWindow(title) == 0; }));

    EXPECT_FALSE(desktop.OpenItem("", kShowNormal));
    EXPECT_FALSE(desktop.OpenItem(win32::Utf8FromWide((temp.path() / "missing.exe").wstring()), kShowNormal));
}

}  // namespace

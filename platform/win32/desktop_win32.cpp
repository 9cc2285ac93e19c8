// The desktop of Windows: top-level windows found by title, messages posted to them, items opened
// by the shell's "open" verb.
#include "platform/win32/windows_api.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

#include "platform/desktop.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

class Win32Desktop final : public Desktop {
public:
    WindowId FindTopLevelWindow(const std::string& title) override {
        const auto wide = win32::WideFromUtf8(title);
        if (!wide) return 0;
        return reinterpret_cast<WindowId>(FindWindowW(nullptr, wide->c_str()));
    }

    void PostWindowMessage(WindowId window, unsigned message) override {
        // Only a window that exists: 0 would post to our own thread, and HWND_BROADCAST (0xFFFF) to
        // every top-level window of the desktop.
        HWND target = reinterpret_cast<HWND>(window);
        if (window == 0 || target == HWND_BROADCAST || !IsWindow(target)) return;
        PostMessageW(target, message, 0, 0);
    }

    bool OpenItem(const std::string& item, int showMode) override {
        const auto wide = win32::WideFromUtf8(item);
        if (!wide || wide->empty()) return false;
        // The item alone, never a command line: its name cannot smuggle in arguments.
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
        info.lpVerb = L"open";
        info.lpFile = wide->c_str();
        info.nShow = showMode;
        return ShellExecuteExW(&info) != FALSE;
    }
};

}  // namespace

Desktop& SystemDesktop() {
    static Win32Desktop desktop;
    return desktop;
}

}  // namespace zel::platform

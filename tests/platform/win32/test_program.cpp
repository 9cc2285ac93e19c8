// A program for the Win32 platform tests to start, find and end: it waits a minute and exits 0.
// With ZEL_TEST_WINDOW_TITLE set it shows a top-level window of that title meanwhile and exits 0
// when the window is closed. Ended from outside, it exits with the code it was given.
#include "platform/win32/windows_api.h"

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

int ShowWindowUntilClosed(const wchar_t* title) {
    WNDCLASSW type{};
    type.lpfnWndProc = WindowProcedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"ZelTestWindow";
    if (!RegisterClassW(&type)) return 2;
    HWND window = CreateWindowW(L"ZelTestWindow", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                type.hInstance, nullptr);
    if (!window) return 3;
    SetTimer(window, 1, 60000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) return 4;
        DispatchMessageW(&message);
    }
    return 0;
}

}  // namespace

int main() {
    wchar_t title[256];
    const DWORD length = GetEnvironmentVariableW(L"ZEL_TEST_WINDOW_TITLE", title, 256);
    if (length > 0 && length < 256) return ShowWindowUntilClosed(title);
    Sleep(60000);
    return 0;
}

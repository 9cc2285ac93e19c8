// Stands in for the scanner and the monitor in the wizard's tests: shows a top-level window titled
// by the environment variable ZEL_TITLE_<its file name without extension, in capitals> (so copies
// named zelscan.exe and zelmon.exe become "Zelscan" and "Zel Monitor") and ends when the window is
// closed or its thread is told to quit, or after two minutes.
#include "platform/win32/windows_api.h"

#include <cwctype>
#include <string>

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::wstring TitleVariable() {
    wchar_t path[MAX_PATH];
    std::wstring name(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    name = name.substr(name.find_last_of(L"\\/") + 1);
    name = name.substr(0, name.find_last_of(L'.'));
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    return L"ZEL_TITLE_" + name;
}

}  // namespace

int main() {
    wchar_t title[256];
    const DWORD length = GetEnvironmentVariableW(TitleVariable().c_str(), title, 256);
    if (length == 0 || length >= 256) return 1;
    WNDCLASSW type{};
    type.lpfnWndProc = WindowProcedure;
    type.hInstance = GetModuleHandleW(nullptr);
    type.lpszClassName = L"ZelStandIn";
    if (!RegisterClassW(&type)) return 2;
    HWND window = CreateWindowW(L"ZelStandIn", title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                type.hInstance, nullptr);
    if (!window) return 3;
    SetTimer(window, 1, 120000, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) return 4;
        DispatchMessageW(&message);
    }
    return 0;
}

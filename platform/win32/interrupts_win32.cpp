// Ctrl-C, Ctrl-Break, a closed console window, a log-off or a shut-down reach a console program
// through its control handler, which runs on a thread of its own.
#include "platform/win32/windows_api.h"

#include <atomic>

#include "platform/interrupts.h"

namespace zel::platform {
namespace {

std::atomic<bool> g_requested{false};

BOOL WINAPI OnControl(DWORD /*event*/) {
    g_requested.store(true);
    // Handled: the process is not ended. (For a closed window or a shut-down Windows ends it anyway
    // once the handler returns, after the run had its chance to see the flag.)
    return TRUE;
}

}  // namespace

ScopedInterruptWatch::ScopedInterruptWatch() {
    g_requested.store(false);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

ScopedInterruptWatch::~ScopedInterruptWatch() { ::SetConsoleCtrlHandler(OnControl, FALSE); }

bool ScopedInterruptWatch::Requested() const { return g_requested.load(); }

}  // namespace zel::platform

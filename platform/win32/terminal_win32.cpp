// A console's width is the width of its window, not of its (usually far wider) screen buffer.
#include "platform/win32/windows_api.h"

#include <io.h>

#include "platform/terminal.h"

namespace zel::platform {

std::optional<int> TerminalColumns(int fd) {
    intptr_t os_handle = ::_get_osfhandle(fd);
    if (os_handle == -1) return std::nullopt;
    HANDLE handle = reinterpret_cast<HANDLE>(os_handle);
    if (::GetFileType(handle) != FILE_TYPE_CHAR) return std::nullopt;
    CONSOLE_SCREEN_BUFFER_INFO info{};
    // A character device that is no console (NUL, a serial port) is no terminal.
    if (!::GetConsoleScreenBufferInfo(handle, &info)) return std::nullopt;
    int columns = info.srWindow.Right - info.srWindow.Left + 1;
    constexpr int kDefaultColumns = 80;
    return columns > 0 ? columns : kDefaultColumns;
}

}  // namespace zel::platform

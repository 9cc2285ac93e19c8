#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/terminal.h"

namespace zel::platform {

std::optional<int> TerminalColumns(int fd) {
    if (::isatty(fd) != 1) return std::nullopt;
    constexpr int kDefaultColumns = 80;
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
    return static_cast<int>(size.ws_col);
}

}  // namespace zel::platform

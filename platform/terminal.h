// The terminal that an output stream goes to, for output that redraws a line in place.
#pragma once

#include <optional>

namespace zel::platform {

// The width in columns of the terminal that file descriptor `fd` writes to; nullopt when it writes to
// no terminal (a file, a pipe). A terminal that does not tell its width counts as 80 columns.
std::optional<int> TerminalColumns(int fd);

}  // namespace zel::platform

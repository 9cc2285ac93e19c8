// Shortcut files: any bytes either parse or are rejected, never read out of bounds.
#include <cstdint>
#include <string_view>

#include "platform/shell_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto link = zel::platform::ParseShellLink(std::string_view(reinterpret_cast<const char*>(data), size));
    if (link && link->target.size() > size * 2) __builtin_trap();
    return 0;
}

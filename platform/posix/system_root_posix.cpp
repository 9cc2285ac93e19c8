// On POSIX systems the Windows installation that disinfection works on is a Wine prefix.
#include <cstdlib>

#include "platform/system_root.h"
#include "platform/wine/wine_prefix_root.h"

namespace zel::platform {

std::string DefaultSystemRootFolder() {
    if (const char* root = std::getenv("ZEL_SYSTEM_ROOT"); root && *root) return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return std::string(data) + "/zel/system";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/zel/system";
}

std::unique_ptr<SystemRoot> OpenSystemRoot(const std::string& folder) {
    return std::make_unique<WinePrefixRoot>(folder);
}

}  // namespace zel::platform

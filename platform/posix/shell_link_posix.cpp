// Shortcuts read by our own parser: no shell-link object exists off Windows.
#include <cstdint>

#include "platform/files.h"
#include "platform/shell_link.h"

namespace zel::platform {
namespace {

// Shortcut files are small; anything larger is not one.
constexpr std::uint64_t kMaxFileSize = 1 << 20;

}  // namespace

std::string ReadShortcutTarget(const std::string& path, std::string* unreadable) {
    std::string bytes, reason;
    ReadOutcome outcome = ReadRegularFile(path, bytes, reason, kMaxFileSize);
    if (unreadable) *unreadable = outcome == ReadOutcome::kFailed ? reason : "";
    if (outcome != ReadOutcome::kOk) return "";
    auto link = ParseShellLink(bytes);
    return link ? link->target : "";
}

}  // namespace zel::platform

#include "platform/system_file_system.h"

namespace zel::platform {

std::optional<std::string> SystemFileSystemBase::ReadContent(const std::string& path, std::uint64_t limit) {
    std::string bytes, reason;
    if (ReadRegularFile(path, bytes, reason, limit) != ReadOutcome::kOk) return std::nullopt;
    return bytes;
}

std::string SystemFileSystemBase::TempFileFolder() { return SystemTempFolder(); }

std::string SystemFileSystemBase::CreateTempFile(const std::string& prefix) {
    return CreateTempFileIn(SystemTempFolder(), prefix);
}

bool SystemFileSystemBase::InstallFile(const std::string& source, const std::string& target, std::string& error) {
    return CopyFileReplacing(source, target, error);
}

// The short forms of files.h, the same on every system.

bool RemoveFile(const std::string& path) {
    std::string ignored;
    return RemoveFile(path, ignored);
}

bool CopyFileReplacing(const std::string& source, const std::string& target) {
    std::string ignored;
    return CopyFileReplacing(source, target, ignored);
}

}  // namespace zel::platform

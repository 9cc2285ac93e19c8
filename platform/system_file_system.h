// What the updater's view of this machine's files (FileSystem) does the same way on every system:
// reading, temporary downloads and their installation go through the functions of files.h. Each
// backend adds what it does through the system itself (times, deletion, folders, Locate).
#pragma once

#include "platform/files.h"

namespace zel::platform {

class SystemFileSystemBase : public FileSystem {
public:
    std::optional<std::string> ReadContent(const std::string& path, std::uint64_t limit) override;
    std::string TempFileFolder() override;
    std::string CreateTempFile(const std::string& prefix) override;
    bool InstallFile(const std::string& source, const std::string& target, std::string& error) override;
};

}  // namespace zel::platform

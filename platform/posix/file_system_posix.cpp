#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "framework/path_parts.h"
#include "platform/files.h"

namespace zel::platform {
namespace {

class PosixFileSystem final : public FileSystem {
public:
    std::optional<std::int64_t> ModificationTime(const std::string& path) override {
        struct stat info {};
        if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
        return static_cast<std::int64_t>(info.st_mtime);
    }
    bool RemoveFile(const std::string& path) override { return !path.empty() && ::unlink(path.c_str()) == 0; }
    bool MakeFolder(const std::string& path) override { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }
    PathTarget Locate(const std::string& relativePath) override;
    std::optional<std::string> ReadContent(const std::string& path, std::uint64_t limit) override {
        std::string bytes, reason;
        if (ReadRegularFile(path, bytes, reason, limit) != ReadOutcome::kOk) return std::nullopt;
        return bytes;
    }
    std::string TempFileFolder() override { return SystemTempFolder(); }
    std::string CreateTempFile(const std::string& prefix) override {
        return CreateTempFileIn(SystemTempFolder(), prefix);
    }
    bool InstallFile(const std::string& source, const std::string& target, std::string& error) override {
        return CopyFileReplacing(source, target, error);
    }
};

std::optional<std::string> RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

bool IsWithin(const std::string& path, const std::string& folder) {
    if (folder == "/") return true;
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              path[folder.size()] == '/');
}

// Only the part of the path that exists can hold symbolic links, so only that part is resolved; the
// parts after it are created (or looked for) inside wherever it leads.
PathTarget PosixFileSystem::Locate(const std::string& relativePath) {
    std::optional<std::string> root = RealPath(".");
    if (!root) return PathTarget::outside;
    std::string existing = ".";
    bool complete = true;
    for (std::string_view part : PathParts(relativePath)) {
        if (part == "..") return PathTarget::outside;
        struct stat info {};
        std::string next = existing + "/" + std::string(part);
        if (::lstat(next.c_str(), &info) == 0) {
            existing = next;
        } else if (errno == ENOENT || errno == ENOTDIR) {
            complete = false;
            break;
        } else {
            return PathTarget::outside;
        }
    }
    std::optional<std::string> target = RealPath(existing);
    if (!target || !IsWithin(*target, *root)) return PathTarget::outside;
    if (!complete) return PathTarget::missing;
    struct stat info {};
    if (::stat(existing.c_str(), &info) != 0) return PathTarget::outside;
    if (S_ISREG(info.st_mode)) return PathTarget::file;
    if (S_ISDIR(info.st_mode)) return PathTarget::folder;
    return PathTarget::other;
}

}  // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem system;
    return system;
}

}  // namespace zel::platform

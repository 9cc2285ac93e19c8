#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_ops.h"

namespace zel::platform {

bool RemoveFile(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
}

bool ClearReadOnly(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (info.st_mode & S_IWUSR) return true;
    return ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace zel::platform

#include <filesystem>

namespace zel::platform {

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

std::string CanonicalPath(const std::string& path) {
    std::error_code error;
    auto canonical = std::filesystem::weakly_canonical(AbsolutePath(path), error);
    return error ? AbsolutePath(path) : canonical.string();
}

}  // namespace zel::platform

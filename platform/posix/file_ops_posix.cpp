#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_ops.h"

namespace zel::platform {

bool RemoveFile(const std::string& path) {
    std::string ignored;
    return RemoveFile(path, ignored);
}

bool RemoveFile(const std::string& path, std::string& reason) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "it is a folder";
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
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
    // Not AbsolutePath: ".." after a symbolic link climbs from where the link leads, as the system
    // climbs, so it is resolved only together with the links.
    auto absolute = std::filesystem::absolute(path, error);
    if (error) return AbsolutePath(path);
    auto canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? AbsolutePath(path) : canonical.string();
}

ResolvedPath ResolvePath(const std::string& path) {
    ResolvedPath result;
    result.real = CanonicalPath(path);
    std::error_code error;
    std::filesystem::path walked;
    for (const auto& level : std::filesystem::absolute(path, error)) {
        if (level.empty()) continue;
        walked /= level;
        struct stat info {};
        if (::lstat(walked.c_str(), &info) != 0) break;  // nothing below a missing level is a link
        if (S_ISLNK(info.st_mode)) {
            result.through_link = true;
            break;
        }
    }
    return result;
}

bool IsWithinFolder(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return !path.empty() && path[0] == '/';
    std::string base = folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    return path == base || path.rfind(base + "/", 0) == 0;
}

}  // namespace zel::platform

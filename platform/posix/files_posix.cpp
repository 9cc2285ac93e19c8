#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <cstdlib>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

namespace zel::platform {
namespace {

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool SyncFile(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

}  // namespace

std::string CreateTempFileBeside(const std::string& target) {
    std::string name = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

bool ReplaceFileAtomically(const std::string& temp, const std::string& target) {
    struct stat old_info {};
    mode_t mode = 0644;
    if (::stat(target.c_str(), &old_info) == 0) mode = old_info.st_mode & 07777;
    if (::chmod(temp.c_str(), mode) != 0 || !SyncFile(temp, O_RDONLY) ||
        ::rename(temp.c_str(), target.c_str()) != 0) {
        RemoveFileQuietly(temp);
        return false;
    }
    // Make the rename itself durable; a failure here no longer loses data.
    SyncFile(FolderOf(target), O_RDONLY | O_DIRECTORY);
    return true;
}

std::string CreateNewFileBeside(const std::string& target) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = ".tmp-";
        for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
        // The long form keeps the entry's name visible; the short one fits any name length.
        std::string name = attempt % 2 == 0 ? target + suffix : folder + "/" + suffix;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST && errno != ENAMETOOLONG) return {};
    }
    return {};
}

bool RenameOverRegularFile(const std::string& temp, const std::string& target) {
    EntryKind kind = KindOf(target);
    if ((kind != EntryKind::file && kind != EntryKind::missing) || ::rename(temp.c_str(), target.c_str()) != 0) {
        RemoveFileQuietly(temp);
        return false;
    }
    return true;
}

void RemoveFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

namespace {

EntryKind KindFromMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::file;
    if (S_ISDIR(mode)) return EntryKind::directory;
    if (S_ISLNK(mode)) return EntryKind::symlink;
    return EntryKind::other;
}

}  // namespace

EntryKind KindOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return EntryKind::missing;
    return KindFromMode(info.st_mode);
}

EntryKind KindOfTarget(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return EntryKind::missing;
    return KindFromMode(info.st_mode);
}

bool ListDirectory(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return true;
}

}  // namespace zel::platform

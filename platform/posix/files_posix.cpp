#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
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

struct Ownership {
    uid_t uid;
    gid_t gid;
    mode_t mode;
    bool must_keep;  // the file exists: its owner and group must be kept, not just tried
};

// What a file written to `target` must be owned by: the regular file's own owner, group and mode,
// or for a new file the usual mode and, when we are root, its folder's owner (root cleaning a
// user's tree leaves files the user can edit). nullopt, with the reason, when `target` is
// something that must not be replaced.
std::optional<Ownership> OwnershipFor(const std::string& target, std::string& reason) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            reason = "it is a symbolic link, which is not replaced by a plain file";
            return std::nullopt;
        }
        if (!S_ISREG(info.st_mode)) {
            reason = "it is not a regular file";
            return std::nullopt;
        }
        return Ownership{info.st_uid, info.st_gid, static_cast<mode_t>(info.st_mode & 07777), true};
    }
    // -1 leaves the owner or group as the system made them.
    Ownership fresh{static_cast<uid_t>(-1), static_cast<gid_t>(-1), 0644, false};
    struct stat folder {};
    if (::geteuid() == 0 && ::stat(FolderOf(target).c_str(), &folder) == 0) {
        fresh.uid = folder.st_uid;
        fresh.gid = folder.st_gid;
    }
    return fresh;
}

}  // namespace

std::string CreateTempFileBeside(const std::string& target) {
    std::string name = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

bool ReplaceFileAtomically(const std::string& temp, const std::string& target, std::string* reason) {
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        RemoveFileQuietly(temp);
        return false;
    };
    std::string refusal;
    std::optional<Ownership> wanted = OwnershipFor(target, refusal);
    if (!wanted) return fail(refusal);
    int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail(std::strerror(errno));
    struct stat made {};
    bool ok = ::fstat(fd, &made) == 0;
    // chown before chmod: changing the owner clears the set-ID bits.
    bool other_owner = wanted->uid != static_cast<uid_t>(-1) && made.st_uid != wanted->uid;
    bool other_group = wanted->gid != static_cast<gid_t>(-1) && made.st_gid != wanted->gid;
    if (ok && (other_owner || other_group)) {
        ok = ::fchown(fd, wanted->uid, wanted->gid) == 0;
        if (!ok && wanted->must_keep) {
            std::string why = std::string("its owner and group cannot be kept: ") + std::strerror(errno);
            ::close(fd);
            return fail(why);
        }
        ok = true;  // a new file may stay ours
    }
    if (ok && ::fchmod(fd, wanted->mode) != 0) ok = false;
    if (ok && ::fsync(fd) != 0 && errno != EINVAL) ok = false;
    std::string why = ok ? "" : std::strerror(errno);
    ::close(fd);
    if (!ok) return fail(why);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(std::strerror(errno));
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

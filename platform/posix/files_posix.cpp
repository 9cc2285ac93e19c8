#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <system_error>

#include "framework/codepage.h"
#include "framework/path_parts.h"
#include "platform/files.h"
#include "platform/system_file_system.h"

namespace zel::platform {
namespace {

// The one place where a system error number becomes a FileError.
FileError FileErrorFrom(int error) {
    FileFailure failure = FileFailure::other;
    switch (error) {
        case ENOENT:
        case ENOTDIR: failure = FileFailure::notFound; break;
        case EACCES:
        case EPERM:
        case EROFS: failure = FileFailure::accessDenied; break;
        case ENOSPC:
        case EDQUOT: failure = FileFailure::diskFull; break;
        case EIO: failure = FileFailure::hardware; break;
        case EISDIR: failure = FileFailure::isFolder; break;
        default: break;
    }
    return FileError{failure, error, std::strerror(error)};
}

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

EntryKind KindFromMode(mode_t mode) {
    if (S_ISREG(mode)) return EntryKind::file;
    if (S_ISDIR(mode)) return EntryKind::folder;
    if (S_ISLNK(mode)) return EntryKind::symlink;
    return EntryKind::other;
}

// What a mode names when it is not a regular file; "" for a regular file.
std::string NonRegularKindOfMode(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a regular file";
}

std::string NotRegular(const std::string& kind) {
    return kind == "not a regular file" ? "it is not a regular file" : "it is " + kind + ", not a regular file";
}

// The error of an open refused because the path names `mode`, which is no regular file.
FileError NotRegularError(mode_t mode) {
    if (S_ISDIR(mode)) return FileErrorFrom(EISDIR);
    return FileError{FileFailure::notRegular, EINVAL, NotRegular(NonRegularKindOfMode(mode))};
}

bool ReadAll(int fd, std::string& bytes, std::uint64_t limit, std::string& reason) {
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (got == 0) return true;
        if (bytes.size() + static_cast<std::size_t>(got) > limit) {
            reason = "it is larger than " + std::to_string(limit) + " bytes";
            return false;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, const char* data, std::size_t size, std::string& reason) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            reason = n < 0 ? std::strerror(errno) : "nothing could be written";
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies the content of the file at `source` to the descriptor `out`.
bool CopyInto(const std::string& source, int out, std::string& reason) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        reason = std::strerror(errno);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            reason = std::strerror(errno);
            ok = false;
        }
        if (n <= 0) break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n), reason)) {
            ok = false;
            break;
        }
    }
    ::close(in);
    return ok;
}

// The steps of an atomic replacement, for callers that word a failure by where it happened.
enum class ReplaceStep { makeBeside, write, replace };

// Writes a new file beside `target` through `fill` (given its descriptor), then renames it over
// `target` (ReplaceFileAtomically). On failure the new file is gone, `target` is untouched, `step`
// says which step failed and `reason` why.
bool WriteBesideAndReplace(const std::string& target, const std::function<bool(int, std::string&)>& fill,
                           ReplaceStep& step, std::string& reason) {
    step = ReplaceStep::makeBeside;
    std::string temp = CreateTempFileBeside(target);
    if (temp.empty()) {
        reason = std::strerror(errno);
        return false;
    }
    TempFileGuard guard(temp);
    step = ReplaceStep::write;
    int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    bool filled = fill(fd, reason);
    if (::close(fd) != 0 && filled) {
        reason = std::strerror(errno);
        filled = false;
    }
    if (!filled) return false;
    guard.Release();
    step = ReplaceStep::replace;
    return ReplaceFileAtomically(temp, target, &reason);
}

int RemoveOne(const char* path, const struct stat*, int type, struct FTW*) {
    if (type == FTW_DP) {
        ::rmdir(path);
    } else {
        ::unlink(path);
    }
    return 0;
}

std::optional<std::string> RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string result = resolved;
    std::free(resolved);
    return result;
}

class PosixFileSystem final : public SystemFileSystemBase {
public:
    std::optional<std::int64_t> ModificationTime(const std::string& path) override {
        struct stat info {};
        if (path.empty() || ::stat(path.c_str(), &info) != 0) return std::nullopt;
        return static_cast<std::int64_t>(info.st_mtime);
    }
    bool RemoveFile(const std::string& path) override { return !path.empty() && ::unlink(path.c_str()) == 0; }
    bool MakeFolder(const std::string& path) override { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }
    PathTarget Locate(const std::string& relativePath) override;
};

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
    if (!target || !IsWithinFolder(*target, *root)) return PathTarget::outside;
    if (!complete) return PathTarget::missing;
    struct stat info {};
    if (::stat(existing.c_str(), &info) != 0) return PathTarget::outside;
    if (S_ISREG(info.st_mode)) return PathTarget::file;
    if (S_ISDIR(info.st_mode)) return PathTarget::folder;
    return PathTarget::other;
}

// Reads until `buffer` is full or the file ends; -1 on an error.
ssize_t ReadAt(int fd, std::span<std::uint8_t> buffer, off_t offset) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool ReadOpen(int fd, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, FileEnds& read, std::string& reason) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    ssize_t got = ReadAt(fd, head, 0);
    if (got < 0) {
        reason = std::strerror(errno);
        return false;
    }
    read.head = static_cast<std::size_t>(got);
    read.length = static_cast<std::uint64_t>(info.st_size);
    read.tail = 0;
    // A file that grew since fstat is measured by what was read.
    if (read.head == head.size() && read.length > read.head) {
        std::uint64_t want = std::min<std::uint64_t>(tail.size(), read.length);
        got = ReadAt(fd, tail.first(static_cast<std::size_t>(want)), static_cast<off_t>(read.length - want));
        if (got < 0) {
            reason = std::strerror(errno);
            return false;
        }
        read.tail = static_cast<std::size_t>(got);
    }
    if (read.length < read.head) read.length = read.head;
    return true;
}

}  // namespace

// ---- Paths ---------------------------------------------------------------------------------------

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

std::string FileNameFromAnsi(std::string_view ansi) { return codepage::Windows1252ToUtf8(ansi); }

std::optional<std::string> AnsiFromFileName(std::string_view name) { return codepage::Utf8ToWindows1252(name); }

bool IsWithinFolder(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    if (folder == "/") return !path.empty() && path[0] == '/';
    std::string base = folder.back() == '/' ? folder.substr(0, folder.size() - 1) : folder;
    return path == base || path.rfind(base + "/", 0) == 0;
}

// ---- What a path names ---------------------------------------------------------------------------

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

std::string NonRegularKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "";
    return NonRegularKindOfMode(info.st_mode);
}

// ---- Folders -------------------------------------------------------------------------------------

bool MakeFolder(const std::string& path) {
    if (path.empty()) return false;
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    return errno == EEXIST && IsFolder(path);
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && prefix.back() != '/') MakeFolder(prefix);
    }
    return MakeFolder(path);
}

bool ListFolder(const std::string& path, std::vector<std::string>& names) {
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

void RemoveTree(const std::string& path) {
    if (path.empty()) return;
    ::nftw(path.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

std::string SystemTempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string MakeTempFolder(const std::string& prefix) {
    std::string pattern = SystemTempFolder() + "/" + prefix + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
}

// ---- Files ---------------------------------------------------------------------------------------

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

void RemoveFileQuietly(const std::string& path) { ::unlink(path.c_str()); }

bool ClearReadOnly(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (info.st_mode & S_IWUSR) return true;
    return ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason, std::uint64_t limit) {
    bytes.clear();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return ReadOutcome::kMissing;
        reason = std::strerror(errno);
        return ReadOutcome::kFailed;
    }
    // Refused before opening: opening a FIFO for reading waits for a writer, opening a device may
    // act on it.
    if (std::string kind = NonRegularKindOfMode(info.st_mode); !kind.empty()) {
        reason = NotRegular(kind);
        return ReadOutcome::kFailed;
    }
    // Non-blocking and checked again once open, in case the file was swapped for a FIFO meanwhile.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) return ReadOutcome::kMissing;
        reason = std::strerror(errno);
        return ReadOutcome::kFailed;
    }
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) {
        reason = std::strerror(errno);
    } else if (std::string kind = NonRegularKindOfMode(info.st_mode); !kind.empty()) {
        reason = NotRegular(kind);
        ok = false;
    } else {
        ok = ReadAll(fd, bytes, limit, reason);
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok ? ReadOutcome::kOk : ReadOutcome::kFailed;
}

bool ReadFileEnds(const std::string& path, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, bool follow_link,
                  FileEnds& read, std::string& reason) {
    read = {};
    // Non-blocking: opening a FIFO for reading would wait for a writer. No controlling terminal.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_link ? 0 : O_NOFOLLOW);
    int fd;
    do {
        fd = ::open(path.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        reason = errno == ELOOP && !follow_link ? "not a regular file" : std::strerror(errno);
        return false;
    }
    bool ok = ReadOpen(fd, head, tail, read, reason);
    ::close(fd);
    return ok;
}

// ---- Temporary files and replacing files ---------------------------------------------------------

std::string CreateTempFileBeside(const std::string& target) {
    std::string name = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

std::string CreateTempFileIn(const std::string& folder, const std::string& prefix) {
    std::string name = folder + "/" + prefix + "XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
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

bool RenameOverRegularFile(const std::string& temp, const std::string& target) {
    EntryKind kind = KindOf(target);
    if ((kind != EntryKind::file && kind != EntryKind::missing) || ::rename(temp.c_str(), target.c_str()) != 0) {
        RemoveFileQuietly(temp);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& reason) {
    ReplaceStep step;
    auto write = [&](int fd, std::string& why) { return WriteAll(fd, bytes.data(), bytes.size(), why); };
    if (WriteBesideAndReplace(path, write, step, reason)) return true;
    if (step == ReplaceStep::makeBeside) reason = "cannot make a file beside it: " + reason;
    return false;
}

bool CopyFileReplacing(const std::string& source, const std::string& target, std::string& error) {
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0) {
        error = "cannot read " + source + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + source + ": not a file";
        return false;
    }
    if (target.empty()) {
        error = "cannot write a file without a name";
        return false;
    }
    ReplaceStep step;
    std::string reason;
    auto copy = [&](int fd, std::string& why) { return CopyInto(source, fd, why); };
    if (WriteBesideAndReplace(target, copy, step, reason)) return true;
    error = (step == ReplaceStep::replace ? "cannot replace " : "cannot write ") + target + ": " + reason;
    return false;
}

// ---- Open files by handle --------------------------------------------------------------------------

FileHandle OpenFileHandle(const std::string& path, FileAccess access, FileCreation creation, FileShare /*share*/,
                          FileError& error) {
    // Refused before it is opened: opening a FIFO waits for its other end, opening a device may act
    // on it. The open itself does not wait either, in case such a file is swapped in meanwhile; the
    // handle blocks as usual once it is known to be a regular file's.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        error = NotRegularError(info.st_mode);
        return kNoFileHandle;
    }
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    flags |= access == FileAccess::readWrite ? O_RDWR : access == FileAccess::write ? O_WRONLY : O_RDONLY;
    if (creation == FileCreation::createOrTruncate) flags |= O_CREAT | O_TRUNC;
    if (creation == FileCreation::createOrKeep) flags |= O_CREAT;
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = FileErrorFrom(errno);
        return kNoFileHandle;
    }
    if (::fstat(fd, &info) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = FileErrorFrom(errno);
        ::close(fd);
        return kNoFileHandle;
    }
    if (!S_ISREG(info.st_mode)) {
        error = NotRegularError(info.st_mode);
        ::close(fd);
        return kNoFileHandle;
    }
    return fd;
}

bool ReadFileHandle(FileHandle handle, void* buffer, std::size_t count, std::size_t& done, FileError& error) {
    auto* out = static_cast<char*>(buffer);
    done = 0;
    while (done < count) {
        ssize_t n = ::read(static_cast<int>(handle), out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = FileErrorFrom(errno);
            return false;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, std::size_t count, FileError& error) {
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(static_cast<int>(handle), in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = FileErrorFrom(errno);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::uint64_t> SeekFileHandle(FileHandle handle, std::int64_t offset, FileSeekOrigin origin,
                                            FileError& error) {
    int whence = origin == FileSeekOrigin::begin ? SEEK_SET : origin == FileSeekOrigin::current ? SEEK_CUR : SEEK_END;
    off_t position = ::lseek(static_cast<int>(handle), static_cast<off_t>(offset), whence);
    if (position < 0) {
        error = FileErrorFrom(errno);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position);
}

std::optional<std::uint64_t> FileHandleLength(FileHandle handle, FileError& error) {
    struct stat info {};
    if (::fstat(static_cast<int>(handle), &info) != 0) {
        error = FileErrorFrom(errno);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool SyncFileHandle(FileHandle handle, FileError& error) {
    if (::fsync(static_cast<int>(handle)) == 0 || errno == EINVAL) return true;
    error = FileErrorFrom(errno);
    return false;
}

bool CloseFileHandle(FileHandle handle, FileError& error) {
    if (::close(static_cast<int>(handle)) == 0 || errno == EINTR) return true;
    error = FileErrorFrom(errno);
    return false;
}

// ---- The updater's view of files ---------------------------------------------------------------

FileSystem& SystemFileSystem() {
    static PosixFileSystem system;
    return system;
}

}  // namespace zel::platform

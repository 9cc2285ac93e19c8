#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/path_parts.h"
#include "platform/file_system.h"
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

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CopyContent(const std::string& source, const std::string& target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    int out = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (!WriteAll(out, buffer, static_cast<std::size_t>(n))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0) ok = false;
    return ok;
}

}  // namespace

FileSystem& SystemFileSystem() {
    static PosixFileSystem system;
    return system;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string CreateTempFileIn(const std::string& folder, const std::string& prefix) {
    std::string name = folder + "/" + prefix + "XXXXXX";
    int fd = ::mkstemp(name.data());
    if (fd < 0) return {};
    ::close(fd);
    return name;
}

bool CopyFileReplacing(const std::string& source, const std::string& target) {
    std::string ignored;
    return CopyFileReplacing(source, target, ignored);
}

bool CopyFileReplacing(const std::string& source, const std::string& target, std::string& error) {
    auto fail = [&](const std::string& what) {
        error = what + ": " + std::error_code(errno, std::generic_category()).message();
        return false;
    };
    struct stat info {};
    if (::stat(source.c_str(), &info) != 0) return fail("cannot read " + source);
    if (!S_ISREG(info.st_mode)) {
        error = "cannot read " + source + ": not a file";
        return false;
    }
    if (target.empty()) {
        error = "cannot write a file without a name";
        return false;
    }
    std::string temp = CreateTempFileBeside(target);
    if (temp.empty()) return fail("cannot write " + target);
    if (!CopyContent(source, temp)) {
        int copyError = errno;
        RemoveFileQuietly(temp);
        errno = copyError;
        return fail("cannot write " + target);
    }
    if (!ReplaceFileAtomically(temp, target)) return fail("cannot replace " + target);
    return true;
}

std::optional<std::int64_t> LocalTimeToUnix(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    errno = 0;
    std::time_t result = std::mktime(&fields);
    if (result == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
    // mktime moves a day that the month lacks (31 February) into the next month: that is no date.
    // An hour skipped by a daylight saving change still names a time, so only the date is compared.
    if (fields.tm_mday != day || fields.tm_mon != month - 1 || fields.tm_year != year - 1900) return std::nullopt;
    return static_cast<std::int64_t>(result);
}

int LocalClockSecond() {
    std::time_t now = std::time(nullptr);
    std::tm fields{};
    localtime_r(&now, &fields);
    return fields.tm_sec;
}

}  // namespace zel::platform

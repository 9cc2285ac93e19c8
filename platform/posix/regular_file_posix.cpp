#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/posix/file_kind_posix.h"
#include "platform/regular_file.h"

namespace zel::platform {
namespace {

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

}  // namespace

std::string NonRegularKind(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "";
    return KindOfMode(info.st_mode);
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
    if (std::string kind = KindOfMode(info.st_mode); !kind.empty()) {
        reason = NotRegularReason(kind);
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
    } else if (std::string kind = KindOfMode(info.st_mode); !kind.empty()) {
        reason = NotRegularReason(kind);
        ok = false;
    } else {
        ok = ReadAll(fd, bytes, limit, reason);
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok ? ReadOutcome::kOk : ReadOutcome::kFailed;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& reason) {
    std::string temp = CreateTempFileBeside(path);
    if (temp.empty()) {
        reason = "cannot make a file beside it: " + std::string(std::strerror(errno));
        return false;
    }
    TempFileGuard guard(temp);
    int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t put = ::write(fd, data, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            reason = put < 0 ? std::strerror(errno) : "nothing could be written";
            ::close(fd);
            return false;
        }
        data += put;
        left -= static_cast<std::size_t>(put);
    }
    if (::close(fd) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    guard.Release();
    return ReplaceFileAtomically(temp, path, &reason);
}

}  // namespace zel::platform

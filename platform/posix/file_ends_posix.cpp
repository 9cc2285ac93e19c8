#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_ends.h"

namespace zel::platform {
namespace {

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

bool ReadOpen(int fd, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, FileEnds& read,
              std::string& reason) {
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

bool ReadFileEnds(const std::string& path, std::span<std::uint8_t> head, std::span<std::uint8_t> tail,
                  bool follow_link, FileEnds& read, std::string& reason) {
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

}  // namespace zel::platform

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/low_io.h"

namespace zel::platform {

std::intptr_t LowOpen(const char* path, int flags, int mode) {
    int native = O_CLOEXEC;
    switch (flags & 3) {
        case kLowWriteOnly: native |= O_WRONLY; break;
        case kLowReadWrite: native |= O_RDWR; break;
        default: native |= O_RDONLY; break;
    }
    if (flags & kLowCreate) native |= O_CREAT;
    if (flags & kLowTruncate) native |= O_TRUNC;
    mode_t permissions = 0;
    if (mode & kLowModeRead) permissions |= S_IRUSR | S_IRGRP | S_IROTH;
    if (mode & kLowModeWrite) permissions |= S_IWUSR | S_IWGRP | S_IWOTH;
    // As OpenFileHandle: nothing but a regular file is opened, and opening never waits on a FIFO.
    struct stat info {};
    if (::stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return -1;
    int fd;
    do {
        fd = ::open(path, native | O_NONBLOCK | O_NOCTTY, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::uint32_t LowRead(std::intptr_t handle, void* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t got = ::read(int(handle), static_cast<char*>(buffer) + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? done : std::uint32_t(-1);
        if (got == 0) break;
        done += std::uint32_t(got);
    }
    return done;
}

std::uint32_t LowWrite(std::intptr_t handle, const void* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (done < count) {
        ssize_t put = ::write(int(handle), static_cast<const char*>(buffer) + done, count - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return done > 0 ? done : std::uint32_t(-1);
        done += std::uint32_t(put);
    }
    return done;
}

int LowClose(std::intptr_t handle) { return ::close(int(handle)) == 0 ? 0 : -1; }

std::int32_t LowSeek(std::intptr_t handle, std::int32_t offset, int origin) {
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t position = ::lseek(int(handle), offset, whence);
    if (position < 0 || position > 0x7FFFFFFF) return -1;
    return std::int32_t(position);
}

}  // namespace zel::platform

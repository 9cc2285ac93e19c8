#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file.h"
#include "platform/posix/file_kind_posix.h"

namespace {

CFileException::ECause CauseOf(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return CFileException::fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return CFileException::accessDenied;
        case ENOSPC:
        case EDQUOT: return CFileException::diskFull;
        case EIO: return CFileException::hardIO;
        default: return CFileException::generic;
    }
}

CFileException ErrorFromErrno(const CString& path, const char* what) {
    int error = errno;
    return CFileException(CauseOf(error), error, path + ": " + what + ": " + std::strerror(error));
}

CFileException NotRegularError(const CString& path, mode_t mode) {
    int error = S_ISDIR(mode) ? EISDIR : EINVAL;
    return CFileException(CFileException::accessDenied, error,
                          path + ": " + zel::platform::NotRegularReason(zel::platform::KindOfMode(mode)));
}

int OpenFlagsFor(unsigned flags) {
    int result = O_CLOEXEC;
    if (flags & CFile::modeReadWrite) {
        result |= O_RDWR;
    } else if (flags & CFile::modeWrite) {
        result |= O_WRONLY;
    } else {
        result |= O_RDONLY;
    }
    if (flags & CFile::modeCreate) {
        result |= O_CREAT;
        if (!(flags & CFile::modeNoTruncate)) result |= O_TRUNC;
    }
    return result;
}

}  // namespace

CFile::~CFile() {
    if (m_handle >= 0) ::close(static_cast<int>(m_handle));
}

bool CFile::Open(const CString& path, unsigned flags, CFileException* error) {
    if (m_handle >= 0) Close();
    // Only a regular file is a byte stream: a FIFO would block the open (or every read) until a
    // writer comes, a device may act on being opened. Such a path is refused before it is opened,
    // and the open itself does not wait, in case the file is swapped for one meanwhile.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !zel::platform::KindOfMode(info.st_mode).empty()) {
        if (error) *error = NotRegularError(path, info.st_mode);
        return false;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), OpenFlagsFor(flags) | O_NONBLOCK | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (error) *error = ErrorFromErrno(path, "open");
        return false;
    }
    if (::fstat(fd, &info) != 0 || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        if (error) *error = ErrorFromErrno(path, "open");
        ::close(fd);
        return false;
    }
    if (!zel::platform::KindOfMode(info.st_mode).empty()) {
        if (error) *error = NotRegularError(path, info.st_mode);
        ::close(fd);
        return false;
    }
    m_handle = fd;
    m_path = path;
    return true;
}

UINT CFile::Read(void* buffer, UINT count) {
    auto* out = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::read(static_cast<int>(m_handle), out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw ErrorFromErrno(m_path, "read");
        }
        if (n == 0) break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    const auto* in = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t n = ::write(static_cast<int>(m_handle), in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw ErrorFromErrno(m_path, "write");
        }
        done += static_cast<UINT>(n);
    }
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t position = ::lseek(static_cast<int>(m_handle), static_cast<off_t>(offset), whence);
    if (position < 0) {
        int error = errno;
        throw CFileException(CFileException::badSeek, error, m_path + ": seek: " + std::strerror(error));
    }
    return static_cast<std::uint64_t>(position);
}

std::uint64_t CFile::GetPosition() const {
    off_t position = ::lseek(static_cast<int>(m_handle), 0, SEEK_CUR);
    if (position < 0) throw ErrorFromErrno(m_path, "seek");
    return static_cast<std::uint64_t>(position);
}

std::uint64_t CFile::GetLength() const {
    struct stat info {};
    if (::fstat(static_cast<int>(m_handle), &info) != 0) throw ErrorFromErrno(m_path, "stat");
    return static_cast<std::uint64_t>(info.st_size);
}

void CFile::Flush() {
    if (m_handle >= 0 && ::fsync(static_cast<int>(m_handle)) != 0 && errno != EINVAL) {
        throw ErrorFromErrno(m_path, "flush");
    }
}

void CFile::Close() {
    if (m_handle < 0) return;
    int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (::close(fd) != 0 && errno != EINTR) throw ErrorFromErrno(m_path, "close");
}

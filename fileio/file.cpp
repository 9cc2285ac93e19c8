#include "fileio/file.h"

#include "platform/files.h"

namespace {

using zel::platform::FileError;
using zel::platform::FileFailure;

CFileException::ECause CauseOf(FileFailure failure) {
    switch (failure) {
        case FileFailure::notFound: return CFileException::fileNotFound;
        case FileFailure::accessDenied:
        case FileFailure::isFolder:
        case FileFailure::notRegular: return CFileException::accessDenied;
        case FileFailure::diskFull: return CFileException::diskFull;
        case FileFailure::hardware: return CFileException::hardIO;
        case FileFailure::other: break;
    }
    return CFileException::generic;
}

CFileException ExceptionFor(const CString& path, const char* what, const FileError& error) {
    return CFileException(CauseOf(error.failure), error.code, path + ": " + what + ": " + error.text);
}

zel::platform::FileAccess AccessFor(unsigned flags) {
    if (flags & CFile::modeReadWrite) return zel::platform::FileAccess::readWrite;
    if (flags & CFile::modeWrite) return zel::platform::FileAccess::write;
    return zel::platform::FileAccess::read;
}

zel::platform::FileCreation CreationFor(unsigned flags) {
    if (!(flags & CFile::modeCreate)) return zel::platform::FileCreation::openExisting;
    return flags & CFile::modeNoTruncate ? zel::platform::FileCreation::createOrKeep
                                         : zel::platform::FileCreation::createOrTruncate;
}

// Without a sharing mode others may do anything, as on POSIX systems, which have none.
zel::platform::FileShare ShareFor(unsigned flags) {
    switch (flags & 0x0070) {
        case CFile::shareExclusive: return zel::platform::FileShare::exclusive;
        case CFile::shareDenyWrite: return zel::platform::FileShare::denyWrite;
        case CFile::shareDenyRead: return zel::platform::FileShare::denyRead;
        default: return zel::platform::FileShare::denyNone;
    }
}

zel::platform::FileSeekOrigin OriginOf(CFile::SeekPosition from) {
    if (from == CFile::begin) return zel::platform::FileSeekOrigin::begin;
    if (from == CFile::current) return zel::platform::FileSeekOrigin::current;
    return zel::platform::FileSeekOrigin::end;
}

}  // namespace

CFile::~CFile() {
    FileError ignored;
    if (m_handle != zel::platform::kNoFileHandle) zel::platform::CloseFileHandle(m_handle, ignored);
}

bool CFile::Open(const CString& path, unsigned flags, CFileException* error) {
    if (IsOpen()) Close();
    FileError failure;
    zel::platform::FileHandle handle =
        zel::platform::OpenFileHandle(path, AccessFor(flags), CreationFor(flags), ShareFor(flags), failure);
    if (handle == zel::platform::kNoFileHandle) {
        if (error) {
            *error = failure.failure == FileFailure::isFolder
                         ? CFileException(CFileException::accessDenied, failure.code, path + ": is a directory")
                         : ExceptionFor(path, "open", failure);
        }
        return false;
    }
    m_handle = handle;
    m_path = path;
    return true;
}

UINT CFile::Read(void* buffer, UINT count) {
    std::size_t done = 0;
    FileError error;
    if (!zel::platform::ReadFileHandle(m_handle, buffer, count, done, error)) throw ExceptionFor(m_path, "read", error);
    return static_cast<UINT>(done);
}

void CFile::Write(const void* buffer, UINT count) {
    FileError error;
    if (!zel::platform::WriteFileHandle(m_handle, buffer, count, error)) throw ExceptionFor(m_path, "write", error);
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    FileError error;
    std::optional<std::uint64_t> position = zel::platform::SeekFileHandle(m_handle, offset, OriginOf(from), error);
    if (!position) throw CFileException(CFileException::badSeek, error.code, m_path + ": seek: " + error.text);
    return *position;
}

std::uint64_t CFile::GetPosition() const {
    FileError error;
    std::optional<std::uint64_t> position =
        zel::platform::SeekFileHandle(m_handle, 0, zel::platform::FileSeekOrigin::current, error);
    if (!position) throw ExceptionFor(m_path, "seek", error);
    return *position;
}

std::uint64_t CFile::GetLength() const {
    FileError error;
    std::optional<std::uint64_t> length = zel::platform::FileHandleLength(m_handle, error);
    if (!length) throw ExceptionFor(m_path, "stat", error);
    return *length;
}

void CFile::Flush() {
    FileError error;
    if (IsOpen() && !zel::platform::SyncFileHandle(m_handle, error)) throw ExceptionFor(m_path, "flush", error);
}

void CFile::Close() {
    if (!IsOpen()) return;
    zel::platform::FileHandle handle = m_handle;
    m_handle = zel::platform::kNoFileHandle;
    FileError error;
    if (!zel::platform::CloseFileHandle(handle, error)) throw ExceptionFor(m_path, "close", error);
}

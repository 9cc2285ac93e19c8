// The cabinet decompressor's low-level calls on Win32 handles, shared with other readers and writers
// as the runtime's own _open would share them.
#include "platform/win32/windows_api.h"

#include "platform/low_io.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {

std::intptr_t LowOpen(const char* path, int flags, int mode) {
    DWORD access = GENERIC_READ;
    switch (flags & 3) {
        case kLowWriteOnly: access = GENERIC_WRITE; break;
        case kLowReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
        default: break;
    }
    DWORD disposition = OPEN_EXISTING;
    if ((flags & kLowCreate) && (flags & kLowTruncate)) {
        disposition = CREATE_ALWAYS;
    } else if (flags & kLowCreate) {
        disposition = OPEN_ALWAYS;
    } else if (flags & kLowTruncate) {
        disposition = TRUNCATE_EXISTING;
    }
    // A file created without write permission is the runtime's read-only file.
    DWORD attributes =
        (flags & kLowCreate) && !(mode & kLowModeWrite) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (flags & kLowSequential) attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    HANDLE handle = ::CreateFileW(win32::WideFromUtf8(path).value_or(std::wstring()).c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    // As OpenFileHandle: nothing but a disk file (a folder cannot be opened this way at all).
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(handle);
}

std::uint32_t LowRead(std::intptr_t handle, void* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (done < count) {
        DWORD got = 0;
        if (!::ReadFile(reinterpret_cast<HANDLE>(handle), static_cast<char*>(buffer) + done, count - done, &got,
                        nullptr))
            return done > 0 ? done : std::uint32_t(-1);
        if (got == 0) break;
        done += got;
    }
    return done;
}

std::uint32_t LowWrite(std::intptr_t handle, const void* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (done < count) {
        DWORD put = 0;
        if (!::WriteFile(reinterpret_cast<HANDLE>(handle), static_cast<const char*>(buffer) + done, count - done, &put,
                         nullptr) ||
            put == 0)
            return done > 0 ? done : std::uint32_t(-1);
        done += put;
    }
    return done;
}

int LowClose(std::intptr_t handle) { return ::CloseHandle(reinterpret_cast<HANDLE>(handle)) ? 0 : -1; }

std::int32_t LowSeek(std::intptr_t handle, std::int32_t offset, int origin) {
    DWORD method = origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), distance, &position, method)) return -1;
    if (position.QuadPart > 0x7FFFFFFF) return -1;
    return std::int32_t(position.QuadPart);
}

}  // namespace zel::platform

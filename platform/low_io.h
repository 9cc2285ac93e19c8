// The C runtime's low-level file calls on integer handles, as the cabinet decompressor's
// callbacks want them. Flags and permission bits are the classic runtime's values (the
// ECabOpenFlags of archive/cabinet/cabinet.h); each backend maps them to its own.
#pragma once

#include <cstdint>

namespace zel::platform {

enum ELowOpenFlags : int {
    kLowReadOnly = 0x0000,
    kLowWriteOnly = 0x0001,
    kLowReadWrite = 0x0002,
    kLowSequential = 0x0020,  // a hint only
    kLowCreate = 0x0100,
    kLowTruncate = 0x0200,
    kLowBinary = 0x8000,  // files are always binary here
};
enum ELowOpenMode : int { kLowModeRead = 0x0100, kLowModeWrite = 0x0080 };

// A handle (>= 0) or -1. Only a regular file (or a new one) is opened, never waiting on a FIFO.
std::intptr_t LowOpen(const char* path, int flags, int mode);
// Bytes read (0 at the end) or (uint32)-1 on error.
std::uint32_t LowRead(std::intptr_t handle, void* buffer, std::uint32_t count);
// Bytes written or (uint32)-1 on error.
std::uint32_t LowWrite(std::intptr_t handle, const void* buffer, std::uint32_t count);
// 0 on success, -1 on error.
int LowClose(std::intptr_t handle);
// Origin 0 start, 1 current, 2 end; the new position or -1.
std::int32_t LowSeek(std::intptr_t handle, std::int32_t offset, int origin);

}  // namespace zel::platform

// CRC-32 as ZIP and ARJ compute it: the reflected polynomial 0xEDB88320, inverted at the start and
// at the end. The ARJ reader checks headers and entries with it, the updater its downloads.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

// The CRC of `size` bytes, continuing `crc` (the CRC of the bytes before them; 0 for none).
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace zel

// ACE checksums: the reflected CRC-32 (polynomial 0xEDB88320, initial value 0xFFFFFFFF) without the
// final inversion. Header checks use its low 16 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel::ace {

inline constexpr std::uint32_t kCrcInitial = 0xFFFFFFFFu;

// Continues `crc` (start with kCrcInitial) over `size` bytes.
std::uint32_t UpdateCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) { return UpdateCrc(kCrcInitial, data, size); }
inline std::uint16_t Crc16(const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint16_t>(Crc32(data, size) & 0xFFFF);
}

}  // namespace zel::ace

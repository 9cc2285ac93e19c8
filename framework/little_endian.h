// Little-endian integers loaded from byte buffers that come from files: the caller passes the
// buffer's limit with the pointer, and a load never reads at or beyond it. Bytes that would lie
// there count as zero, so a value cut off by the end of its buffer comes back with its missing
// high bytes zero; a caller that checked the length first never sees that.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zel {

namespace little_endian_detail {

// The bytes of p[0 .. available) (at most `size` of them), the first one lowest.
inline std::uint64_t LoadShort(const std::uint8_t* p, std::ptrdiff_t available, std::size_t size) {
    std::uint64_t value = 0;
    for (std::ptrdiff_t i = 0; i < available && static_cast<std::size_t>(i) < size; ++i) {
        value |= std::uint64_t{p[i]} << (8 * i);
    }
    return value;
}

}  // namespace little_endian_detail

inline std::uint16_t LoadLe16(const std::uint8_t* p, const std::uint8_t* limit) {
    if (limit - p >= 2) return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    return static_cast<std::uint16_t>(little_endian_detail::LoadShort(p, limit - p, 2));
}

inline std::uint32_t LoadLe32(const std::uint8_t* p, const std::uint8_t* limit) {
    if (limit - p >= 4) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    return static_cast<std::uint32_t>(little_endian_detail::LoadShort(p, limit - p, 4));
}

inline std::uint64_t LoadLe64(const std::uint8_t* p, const std::uint8_t* limit) {
    if (limit - p >= 8) return LoadLe32(p, p + 4) | std::uint64_t{LoadLe32(p + 4, p + 8)} << 32;
    return little_endian_detail::LoadShort(p, limit - p, 8);
}

}  // namespace zel

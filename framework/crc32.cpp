#include "framework/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace zel {

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    // zlib takes the length as a 32-bit uInt: larger buffers go in pieces.
    const auto* bytes = static_cast<const Bytef*>(data);
    uLong value = crc;
    while (size > 0) {
        auto piece = static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
        value = ::crc32(value, bytes, piece);
        bytes += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace zel

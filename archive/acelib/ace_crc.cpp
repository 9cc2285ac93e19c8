#include "archive/acelib/ace_crc.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace zel::ace {

// zlib's crc32 inverts before and after; feeding it the inverted running value and inverting its
// result gives the uninverted form that ACE stores.
std::uint32_t UpdateCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    uLong z = ~crc & 0xFFFFFFFFu;
    while (size > 0) {
        auto piece = static_cast<uInt>(std::min<std::size_t>(size, std::numeric_limits<uInt>::max()));
        z = crc32(z, data, piece);
        data += piece;
        size -= piece;
    }
    return ~static_cast<std::uint32_t>(z);
}

}  // namespace zel::ace

#include "archive/acelib/ace_crc.h"

#include "framework/crc32.h"

namespace zel::ace {

// The common CRC-32 inverts before and after; feeding it the inverted running value and inverting
// its result gives the uninverted form that ACE stores.
std::uint32_t UpdateCrc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return ~zel::Crc32(data, size, ~crc);
}

}  // namespace zel::ace

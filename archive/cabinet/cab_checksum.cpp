#include "archive/cabinet/cab_checksum.h"

#include "framework/little_endian.h"

namespace zel::cabinet {

std::uint32_t CabChecksum(const BYTE* data, std::uint32_t length, std::uint32_t seed) {
    std::uint32_t sum = seed;
    std::uint32_t words = length / 4;
    for (std::uint32_t i = 0; i < words; ++i, data += 4) sum ^= LoadLe32(data, data + 4);
    std::uint32_t tail = 0;
    for (std::uint32_t i = 0; i < length % 4; ++i) tail = (tail << 8) | data[i];
    return sum ^ tail;
}

}  // namespace zel::cabinet

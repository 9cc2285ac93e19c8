// The checksum of cabinet data blocks.
#pragma once

#include <cstdint>

#include "framework/framework_types.h"

namespace zel::cabinet {

// XOR of the data taken as little-endian 32-bit words, starting from `seed`. The 1 to 3 bytes left
// at the end are folded in as one value with the first of them most significant.
std::uint32_t CabChecksum(const BYTE* data, std::uint32_t length, std::uint32_t seed);

}  // namespace zel::cabinet

// What the ACE decoder fuzz targets share: the input's prefix (dictionary and output size) and
// a sink that only counts. Sizes stay below 64 KiB: valid streams legitimately expand a few bytes
// into megabytes, which would only slow the search down.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/acelib/byte_stream.h"

namespace zel::ace::fuzz {

class CountingSink final : public ByteSink {
public:
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (size > 0) last = data[size - 1];
        total += size;
    }
    std::uint8_t last = 0;
    std::size_t total = 0;
};

// Input: one byte for the dictionary (2^(10 + byte % 13)), two bytes of output size, then data.
struct Prefixed {
    static constexpr std::size_t kSize = 3;
    unsigned dictionaryBits;
    std::uint64_t outputSize;
    const std::uint8_t* data;
    std::size_t size;
};

inline bool SplitInput(const std::uint8_t* data, std::size_t size, Prefixed& out) {
    if (size < Prefixed::kSize) return false;
    out.dictionaryBits = 10 + data[0] % 13;
    out.outputSize = data[1] | data[2] << 8;
    out.data = data + Prefixed::kSize;
    out.size = size - Prefixed::kSize;
    return true;
}

}  // namespace zel::ace::fuzz

// Reads the bit stream of ACE compressed data: little-endian 32-bit words, bits taken from the
// most significant end of each word.
#pragma once

#include <array>
#include <cstdint>

#include "archive/acelib/byte_stream.h"

namespace zel::ace {

class BitReader {
public:
    explicit BitReader(ByteSource& source) : m_source(source) {}
    BitReader(const BitReader&) = delete;
    BitReader& operator=(const BitReader&) = delete;

    // The next `count` bits (1 to 32) without consuming them.
    std::uint32_t Peek(unsigned count) {
        if (m_count < count) Refill(count);
        return static_cast<std::uint32_t>(m_bits >> (64 - count));
    }
    // Consumes `count` bits; at most as many as the last Peek asked for.
    void Skip(unsigned count) {
        m_bits <<= count;
        m_count -= count;
    }
    // Reads `count` bits (0 to 32).
    std::uint32_t Read(unsigned count) {
        if (count == 0) return 0;
        std::uint32_t value = Peek(count);
        Skip(count);
        return value;
    }

private:
    // Streams end on a word boundary and the decoders look a little ahead, so a short run of zero
    // words is supplied past the end; asking for more than that means the data is truncated.
    static constexpr int kZeroWordsPastEnd = 2;

    void Refill(unsigned needed);
    bool NextWord(std::uint32_t& word);

    ByteSource& m_source;
    std::uint64_t m_bits = 0;  // unread bits, left-aligned
    unsigned m_count = 0;
    std::array<std::uint8_t, 64 * 1024> m_buffer{};
    std::size_t m_offset = 0;
    std::size_t m_end = 0;
    bool m_sourceDone = false;
    int m_zeroWordsLeft = kZeroWordsPastEnd;
};

}  // namespace zel::ace

// The bit input of the ARJ decoders: the entry's compressed bytes, most significant bit first.
// Once the entry's compressed bytes are used up, zero bits follow, as the format expects; a
// decoder that keeps reading well past the end is decoding damaged data and stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/arj/arj_decoder.h"

namespace zel::arj {

class BitReader {
public:
    BitReader(ByteSource& source, std::uint64_t compressed_size)
        : m_source(source), m_remaining(compressed_size), m_chunk(new std::uint8_t[kChunkSize]) {
        Refill();
    }
    BitReader(const BitReader&) = delete;
    BitReader& operator=(const BitReader&) = delete;

    // The next 16 bits without consuming them.
    std::uint32_t Peek16() const { return static_cast<std::uint32_t>(m_bits >> 48); }
    // Consumes `count` bits, at most 16.
    void Drop(unsigned count) {
        m_bits <<= count;
        m_count -= static_cast<int>(count);
        if (m_count < 16) Refill();
    }
    // Consumes and returns the next `count` bits, at most 16; 0 bits give 0.
    std::uint32_t Take(unsigned count) {
        if (count == 0) return 0;
        std::uint32_t value = Peek16() >> (16 - count);
        Drop(count);
        return value;
    }
    // True once more than two bytes beyond the compressed data have been consumed: no valid
    // stream needs that, so the data is damaged (and decoding it further could run for ever).
    bool Overrun() const { return m_padding != 0 && static_cast<int>(m_padding * 8) - m_count > kSlackBits; }

private:
    static constexpr std::size_t kChunkSize = 65536;
    // The lookahead of the format's own 16-bit bit buffer.
    static constexpr int kSlackBits = 16;

    void Refill() {
        while (m_count <= 56) {
            if (m_next == m_end && !FetchChunk()) {
                // Past the end: zero bytes. Counted, but never so many that the counter overflows.
                if (m_padding < (1u << 20)) ++m_padding;
                m_count += 8;
                continue;
            }
            m_bits |= static_cast<std::uint64_t>(*m_next++) << (56 - m_count);
            m_count += 8;
        }
    }

    bool FetchChunk() {
        if (m_remaining == 0) return false;
        std::size_t want = m_remaining < kChunkSize ? static_cast<std::size_t>(m_remaining) : kChunkSize;
        std::size_t got = m_source.Read(m_chunk.get(), want);
        if (got == 0) {
            // The archive ends inside the entry's data; what follows reads as zero bits.
            m_remaining = 0;
            return false;
        }
        m_remaining -= got;
        m_next = m_chunk.get();
        m_end = m_next + got;
        return true;
    }

    ByteSource& m_source;
    std::uint64_t m_remaining;
    std::unique_ptr<std::uint8_t[]> m_chunk;
    const std::uint8_t* m_next = nullptr;
    const std::uint8_t* m_end = nullptr;
    std::uint64_t m_bits = 0;  // valid bits left-aligned
    int m_count = 0;           // how many bits of m_bits are valid
    std::uint32_t m_padding = 0;
};

}  // namespace zel::arj

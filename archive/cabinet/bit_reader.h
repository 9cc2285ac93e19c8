// Bit readers for the compressed streams: bits are taken most significant first, from 16-bit
// little-endian words (LZX) or from single bytes (Quantum). Past the end of the input they yield
// zero bits and count how far they ran over, so that a decoder can peek ahead freely and then
// decide whether the stream really ended early.
#pragma once

#include <cstdint>

#include "framework/framework_types.h"
#include "framework/little_endian.h"

namespace zel::cabinet {

template <int kUnitBytes>
class CBitReader {
    static_assert(kUnitBytes == 1 || kUnitBytes == 2);

public:
    void Init(const BYTE* begin, const BYTE* end) {
        m_next = begin;
        m_end = end;
        m_buffer = 0;
        m_bits = 0;
        m_fabricated = 0;
    }

    // Makes at least `count` (at most 32) bits available. While input lasts the buffer is filled
    // as far as it goes, so that most reads need no refill.
    void Ensure(int count) {
        if (m_bits >= count) return;
        while (m_bits <= 64 - kUnitBytes * 8 && m_end - m_next >= kUnitBytes) {
            const std::uint64_t unit = kUnitBytes == 2 ? LoadLe16(m_next, m_end) : m_next[0];
            m_next += kUnitBytes;
            m_buffer |= unit << (64 - kUnitBytes * 8 - m_bits);
            m_bits += kUnitBytes * 8;
        }
        while (m_bits < count) {
            const std::uint64_t unit = m_next < m_end ? *m_next++ : 0;
            m_fabricated += kUnitBytes * 8;
            m_buffer |= unit << (64 - kUnitBytes * 8 - m_bits);
            m_bits += kUnitBytes * 8;
        }
    }

    std::uint32_t ReadBit() {
        if (m_bits == 0) Ensure(1);
        const std::uint32_t bit = std::uint32_t(m_buffer >> 63);
        m_buffer <<= 1;
        --m_bits;
        return bit;
    }

    // The next `count` bits (1 to 32) without consuming them; Ensure(count) must have run.
    std::uint32_t Peek(int count) const { return std::uint32_t(m_buffer >> (64 - count)); }
    void Skip(int count) {
        m_buffer <<= count;
        m_bits -= count;
    }
    std::uint32_t Read(int count) {
        if (count == 0) return 0;
        Ensure(count);
        std::uint32_t value = Peek(count);
        Skip(count);
        return value;
    }

    // Bits consumed beyond the end of the input.
    int Overrun() const { return m_fabricated > m_bits ? m_fabricated - m_bits : 0; }

    // Drops the rest of the current 16-bit word; when the reader is already on a word boundary,
    // drops one whole word (the LZX padding before an uncompressed block is 1 to 16 bits).
    void SkipToNextWord() {
        Ensure(16);
        Skip(m_bits % 16 == 0 ? 16 : m_bits % 16);
    }

    // The byte position of the next unread bit, which must lie on a byte boundary, or null when
    // the reader has already run past the end. The reader must be Init'ed again before bits are read.
    const BYTE* BytePosition() const {
        if (m_fabricated > 0) return nullptr;
        return m_next - m_bits / 8;
    }
    const BYTE* End() const { return m_end; }

private:
    const BYTE* m_next = nullptr;
    const BYTE* m_end = nullptr;
    std::uint64_t m_buffer = 0;  // unread bits, left-aligned
    int m_bits = 0;              // how many bits of m_buffer are valid
    int m_fabricated = 0;        // zero bits supplied past the end of the input
};

}  // namespace zel::cabinet

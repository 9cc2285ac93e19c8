// Canonical Huffman decoding for LZX: codes are assigned shortest first and, within one length, in
// symbol order, and are read most significant bit first. Codes up to kTableBits long are decoded with
// one table look-up; longer ones (to 16 bits) by walking the canonical code ranges.
#pragma once

#include <array>
#include <cstdint>

#include "archive/cabinet/bit_reader.h"

namespace zel::cabinet {

inline constexpr int kHuffmanMaxLength = 16;

template <int kSymbols, int kTableBits>
class CHuffmanTable {
public:
    // Builds the decoding table from code lengths (0 = unused, at most 16). Returns false for an
    // over-subscribed set of lengths, or an incomplete one unless every length is 0 (an empty tree,
    // which decodes nothing).
    bool Build(const BYTE* lengths) {
        std::array<int, kHuffmanMaxLength + 1> count{};
        for (int s = 0; s < kSymbols; ++s) {
            if (lengths[s] > kHuffmanMaxLength) return false;
            ++count[lengths[s]];
        }
        m_empty = count[0] == kSymbols;
        m_table.fill(0);
        if (m_empty) return true;

        // Kraft sum, in units of 2^-16.
        std::uint32_t used = 0;
        for (int len = 1; len <= kHuffmanMaxLength; ++len) used += std::uint32_t(count[len]) << (16 - len);
        if (used != (1u << 16)) return false;

        // First code and first index into the sorted symbol list for each length.
        std::uint32_t code = 0;
        int index = 0;
        for (int len = 1; len <= kHuffmanMaxLength; ++len) {
            code = (code + (len > 1 ? count[len - 1] : 0)) << (len > 1 ? 1 : 0);
            m_firstCode[len] = code;
            m_firstIndex[len] = index;
            m_count[len] = count[len];
            index += count[len];
        }
        std::array<int, kHuffmanMaxLength + 1> next{};
        for (int len = 1; len <= kHuffmanMaxLength; ++len) next[len] = m_firstIndex[len];
        for (int s = 0; s < kSymbols; ++s) {
            if (lengths[s] != 0) m_sorted[next[lengths[s]]++] = std::uint16_t(s);
        }

        // Short codes fill every table slot that starts with them.
        for (int len = 1; len <= kTableBits; ++len) {
            for (int i = 0; i < m_count[len]; ++i) {
                std::uint32_t first = (m_firstCode[len] + i) << (kTableBits - len);
                std::uint32_t span = 1u << (kTableBits - len);
                std::uint16_t entry = std::uint16_t((m_sorted[m_firstIndex[len] + i] << 5) | len);
                for (std::uint32_t k = 0; k < span; ++k) m_table[first + k] = entry;
            }
        }
        return true;
    }

    // Decodes one symbol, or returns -1 when no code matches (an empty tree).
    template <int kUnit>
    int Decode(CBitReader<kUnit>& bits) const {
        bits.Ensure(kHuffmanMaxLength);
        std::uint16_t entry = m_table[bits.Peek(kTableBits)];
        if (entry != 0) {
            bits.Skip(entry & 31);
            return entry >> 5;
        }
        if (m_empty) return -1;
        std::uint32_t code = bits.Peek(kHuffmanMaxLength);
        for (int len = kTableBits + 1; len <= kHuffmanMaxLength; ++len) {
            std::uint32_t prefix = code >> (kHuffmanMaxLength - len);
            if (prefix - m_firstCode[len] < std::uint32_t(m_count[len])) {
                bits.Skip(len);
                return m_sorted[m_firstIndex[len] + (prefix - m_firstCode[len])];
            }
        }
        return -1;
    }

    bool Empty() const { return m_empty; }

private:
    std::array<std::uint16_t, 1u << kTableBits> m_table{};  // symbol << 5 | length; 0 = longer code
    std::array<std::uint32_t, kHuffmanMaxLength + 1> m_firstCode{};
    std::array<int, kHuffmanMaxLength + 1> m_firstIndex{};
    std::array<int, kHuffmanMaxLength + 1> m_count{};
    std::array<std::uint16_t, kSymbols> m_sorted{};
    bool m_empty = true;
};

}  // namespace zel::cabinet

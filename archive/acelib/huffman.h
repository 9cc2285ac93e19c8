// The Huffman tables of ACE compressed data (LZ77, SOUND and comments share the scheme).
//
// A table is sent as a list of code widths: 9 bits give the number of widths less one, 4 bits a
// width added to every non-zero width, 4 bits the largest symbol U of a small width-coding table
// whose U+1 three-bit widths follow. The widths are then read through that table: a value below
// U is a width, U starts a run of (4 bits + 4) zero widths; when U is not zero the values are
// deltas, each width being (value + previous) mod U.
//
// Codes are handed out from the width list in an order fixed by the original implementation's
// sort, which also decides the order among symbols of equal width; BuildCodes reproduces it.
#pragma once

#include <array>
#include <cstdint>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/bit_reader.h"

namespace zel::ace {

inline constexpr unsigned kMaxCodeWidth = 11;  // LZ77 tables; SOUND uses 10
inline constexpr unsigned kMaxSymbols = 290;   // SOUND has 289 symbols, plus one spare width

class HuffmanTable {
public:
    // Reads a table for `symbolCount` symbols whose codes are at most `maxWidth` bits wide.
    // Throws AceError when the widths cannot form a code.
    void Read(BitReader& bits, unsigned maxWidth, unsigned symbolCount);

    // Decodes one symbol: 0 to symbolCount inclusive, since the width list may hold one more
    // entry than the table's symbols (LZ77 lengths use it for the longest match). A code that
    // names no symbol is corrupt data.
    unsigned Decode(BitReader& bits) const {
        unsigned symbol = m_codes[bits.Peek(m_maxWidth)];
        if (symbol > m_symbolCount) ThrowData("invalid Huffman code");
        bits.Skip(m_widths[symbol]);
        return symbol;
    }

    // Fills `codes` (2^maxWidth entries) from `widths` (count entries), reproducing the original
    // assignment order. May change `widths` as the original does for tables of fewer than two
    // symbols. Entries that no code reaches are set to 0xFFFF. Exposed for tests.
    static void BuildCodes(unsigned maxWidth, unsigned count, std::uint8_t* widths, std::uint16_t* codes);

private:
    std::array<std::uint16_t, 1u << kMaxCodeWidth> m_codes{};
    std::array<std::uint8_t, kMaxSymbols + 1> m_widths{};
    unsigned m_maxWidth = 1;
    unsigned m_symbolCount = 0;
};

}  // namespace zel::ace

#include "archive/acelib/huffman.h"

#include <algorithm>
#include <utility>

namespace zel::ace {
namespace {

constexpr unsigned kWidthCodeMaxWidth = 7;  // widths of the width-coding table are 3 bits
constexpr unsigned kWidthCodeSymbols = 16;
constexpr std::uint16_t kNoSymbol = 0xFFFF;

// Sorts keys in descending order, carrying values along, with the exact sequence of swaps of the
// original implementation: its order among equal keys decides which symbol gets which code.
void SortDescending(std::uint8_t* keys, std::uint16_t* values, int left, int right) {
    auto swap = [&](int a, int b) {
        std::swap(keys[a], keys[b]);
        std::swap(values[a], values[b]);
    };
    int low = left;
    int high = right;
    const std::uint8_t pivot = keys[right];
    for (;;) {
        while (keys[low] > pivot) {
            if (++low > right) ThrowData("Huffman sort out of range");
        }
        while (keys[high] < pivot) {
            if (--high < left) ThrowData("Huffman sort out of range");
        }
        if (low <= high) {
            swap(low, high);
            ++low;
            --high;
        }
        if (low >= high) break;
    }
    if (left < high) {
        if (left < high - 1) {
            SortDescending(keys, values, left, high);
        } else if (keys[left] < keys[high]) {
            swap(left, high);
        }
    }
    if (right > low) {
        if (low < right - 1) {
            SortDescending(keys, values, low, right);
        } else if (keys[low] < keys[right]) {
            swap(low, right);
        }
    }
}

}  // namespace

void HuffmanTable::BuildCodes(unsigned maxWidth, unsigned count, std::uint8_t* widths, std::uint16_t* codes) {
    std::array<std::uint8_t, kMaxSymbols + 1> keys{};
    std::array<std::uint16_t, kMaxSymbols + 1> values{};
    for (unsigned i = 0; i < count; ++i) {
        keys[i] = widths[i];
        values[i] = static_cast<std::uint16_t>(i);
    }
    SortDescending(keys.data(), values.data(), 0, static_cast<int>(count) - 1);

    unsigned used = 0;
    while (used < count && keys[used] != 0) ++used;
    if (used < 2) {
        // One symbol (or none) gets a one-bit code, as the original does.
        widths[values[0]] = 1;
        if (used == 0) used = 1;
    }

    const unsigned tableSize = 1u << maxWidth;
    unsigned position = 0;
    for (int i = static_cast<int>(used) - 1; i >= 0 && position < tableSize; --i) {
        if (keys[i] > maxWidth) ThrowData("Huffman code too wide");
        unsigned span = 1u << (maxWidth - keys[i]);
        if (position + span > tableSize) ThrowData("Huffman code space overfull");
        std::fill(codes + position, codes + position + span, values[i]);
        position += span;
    }
    std::fill(codes + position, codes + tableSize, kNoSymbol);
}

void HuffmanTable::Read(BitReader& bits, unsigned maxWidth, unsigned symbolCount) {
    unsigned widthCount = bits.Read(9) + 1;
    widthCount = std::min(widthCount, symbolCount + 1);
    const unsigned lowerWidth = bits.Read(4);
    const unsigned upperWidth = bits.Read(4);

    std::array<std::uint8_t, kWidthCodeSymbols> codeWidths{};
    for (unsigned i = 0; i <= upperWidth; ++i) codeWidths[i] = static_cast<std::uint8_t>(bits.Read(3));
    std::array<std::uint16_t, 1u << kWidthCodeMaxWidth> widthCodes{};
    BuildCodes(kWidthCodeMaxWidth, upperWidth + 1, codeWidths.data(), widthCodes.data());

    m_widths.fill(0);
    unsigned position = 0;
    while (position < widthCount) {
        unsigned code = widthCodes[bits.Peek(kWidthCodeMaxWidth)];
        if (code == kNoSymbol) ThrowData("invalid width code");
        bits.Skip(codeWidths[code]);
        if (code < upperWidth) {
            m_widths[position++] = static_cast<std::uint8_t>(code);
        } else {
            unsigned run = bits.Read(4) + 4;
            while (run > 0 && position < widthCount) {
                m_widths[position++] = 0;
                --run;
            }
        }
    }
    if (upperWidth > 0) {
        for (unsigned i = 1; i < widthCount; ++i) {
            m_widths[i] = static_cast<std::uint8_t>((m_widths[i] + m_widths[i - 1]) % upperWidth);
        }
    }
    for (unsigned i = 0; i < widthCount; ++i) {
        if (m_widths[i] > 0) m_widths[i] = static_cast<std::uint8_t>(m_widths[i] + lowerWidth);
    }
    BuildCodes(maxWidth, widthCount, m_widths.data(), m_codes.data());
    m_maxWidth = maxWidth;
    m_symbolCount = symbolCount;
}

}  // namespace zel::ace

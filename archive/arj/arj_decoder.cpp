#include "archive/arj/arj_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "archive/arj/arj_bit_reader.h"
#include "archive/reader_support.h"

namespace zel::arj {
namespace {

using arcopen::ThrowFailure;

// Methods 1 to 3.
constexpr unsigned kMinMatch = 3;
constexpr unsigned kLiteralCodes = 256;
constexpr unsigned kCodeCount = 510;     // 256 literals, then match lengths 3 to 256
constexpr unsigned kPositionCodes = 17;  // distance classes 0 to 16
constexpr unsigned kLengthCodes = 19;    // codes of the code-length alphabet
constexpr unsigned kPtCodesMax = 19;     // the larger of the two alphabets above
constexpr unsigned kCodeCountBits = 9;
constexpr unsigned kPositionCountBits = 5;
constexpr unsigned kLengthCountBits = 5;
constexpr unsigned kLengthSpecialIndex = 3;  // after the third length: a 2-bit run of zeros
constexpr unsigned kCodeTableBits = 12;
constexpr unsigned kPtTableBits = 8;
constexpr unsigned kMaxCodeLength = 16;

// Method 4.
constexpr unsigned kFastLengthPrefixMax = 7;
constexpr unsigned kFastDistancePrefixMax = 4;
constexpr unsigned kFastDistanceBaseBits = 9;

// The decoder's output window: the dictionary, written out whenever it fills and at the end,
// never beyond the entry's original size.
class Window {
public:
    Window(ByteSink& sink, std::uint64_t original_size)
        : m_text(new std::uint8_t[kDictionarySize]), m_sink(sink), m_left(original_size) {}

    void Put(std::uint8_t byte) {
        m_text[m_pos] = byte;
        if (++m_pos == kDictionarySize) Flush();
    }

    // Copies `length` bytes from `distance` + 1 bytes back, wrapping within the dictionary.
    void Copy(unsigned distance, unsigned length) {
        constexpr unsigned kSize = kDictionarySize;
        // Distances reach 65,535, less than three dictionary sizes.
        unsigned from = static_cast<unsigned>((m_pos + 3 * kSize - distance - 1) % kSize);
        std::uint8_t* text = m_text.get();
        if (m_pos + length < kSize && from + length < kSize) {
            if (from < m_pos && m_pos - from < length) {
                // The copy repeats bytes that it writes itself.
                for (unsigned k = 0; k < length; ++k) text[m_pos + k] = text[from + k];
            } else {
                std::memmove(text + m_pos, text + from, length);
            }
            m_pos += length;
            return;
        }
        while (length-- > 0) {
            text[m_pos] = text[from];
            if (++from == kSize) from = 0;
            if (++m_pos == kSize) Flush();
        }
    }

    void Finish() { Flush(); }

private:
    void Flush() {
        std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(m_pos, m_left));
        if (count > 0) m_sink.Write(m_text.get(), count);
        m_left -= count;
        m_pos = 0;
    }

    std::unique_ptr<std::uint8_t[]> m_text;
    ByteSink& m_sink;
    std::uint64_t m_left;
    unsigned m_pos = 0;
};

// A canonical Huffman code as a lookup table of `Bits` bits, with the codes longer than that
// continuing through a binary tree, one further bit per node.
template <unsigned Symbols, unsigned Bits>
struct HuffmanTable {
    std::array<std::uint8_t, Symbols> lengths{};
    std::array<std::uint16_t, 1u << Bits> table{};
    std::array<std::uint16_t, 2 * Symbols> left{};
    std::array<std::uint16_t, 2 * Symbols> right{};
    // The alphabet size of the code in force; table values from here up are tree nodes.
    unsigned symbols = Symbols;

    // Every one of `count` symbols decodes to `symbol` with no bits consumed.
    void SetSingle(unsigned count, unsigned symbol) {
        symbols = count;
        lengths.fill(0);
        table.fill(static_cast<std::uint16_t>(symbol));
    }

    // Builds the table from `lengths` for the first `count` symbols; false when the lengths do
    // not fill the code space exactly.
    bool Build(unsigned count) {
        symbols = count;
        std::array<unsigned, kMaxCodeLength + 1> per_length{};
        for (unsigned i = 0; i < count; ++i) per_length[lengths[i]]++;
        std::array<unsigned, kMaxCodeLength + 2> start{};
        for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
            start[len + 1] = start[len] + (per_length[len] << (kMaxCodeLength - len));
        }
        if (start[kMaxCodeLength + 1] != (1u << kMaxCodeLength)) return false;
        constexpr unsigned kJut = kMaxCodeLength - Bits;
        std::array<unsigned, kMaxCodeLength + 1> weight{};
        for (unsigned len = 1; len <= Bits; ++len) {
            start[len] >>= kJut;
            weight[len] = 1u << (Bits - len);
        }
        for (unsigned len = Bits + 1; len <= kMaxCodeLength; ++len) weight[len] = 1u << (kMaxCodeLength - len);
        for (unsigned i = start[Bits + 1] >> kJut; i < (1u << Bits); ++i) table[i] = 0;
        unsigned avail = count;
        constexpr unsigned kMask = 1u << (15 - Bits);
        for (unsigned symbol = 0; symbol < count; ++symbol) {
            unsigned len = lengths[symbol];
            if (len == 0) continue;
            unsigned next = start[len] + weight[len];
            if (len <= Bits) {
                if (next > (1u << Bits)) return false;
                for (unsigned i = start[len]; i < next; ++i) table[i] = static_cast<std::uint16_t>(symbol);
            } else {
                unsigned code = start[len];
                std::uint16_t* slot = &table[code >> kJut];
                for (unsigned extra = len - Bits; extra > 0; --extra) {
                    if (*slot == 0) {
                        if (avail >= left.size()) return false;
                        left[avail] = right[avail] = 0;
                        *slot = static_cast<std::uint16_t>(avail++);
                    }
                    slot = (code & kMask) ? &right[*slot] : &left[*slot];
                    code <<= 1;
                }
                *slot = static_cast<std::uint16_t>(symbol);
            }
            start[len] = next;
        }
        return true;
    }

    // Decodes one symbol from the next 16 bits of `bits`.
    unsigned Decode(BitReader& bits) const {
        std::uint32_t window = bits.Peek16();
        unsigned symbol = table[window >> (kMaxCodeLength - Bits)];
        if (symbol >= symbols) {
            unsigned mask = 1u << (kMaxCodeLength - Bits - 1);
            do {
                if (mask == 0 || symbol >= left.size()) ThrowFailure();
                symbol = (window & mask) ? right[symbol] : left[symbol];
                mask >>= 1;
            } while (symbol >= symbols);
        }
        bits.Drop(lengths[symbol]);
        return symbol;
    }
};

class HuffmanDecoder {
public:
    explicit HuffmanDecoder(BitReader& bits) : m_bits(bits) {}

    void Run(std::uint64_t original_size, Window& window) {
        std::uint64_t count = 0;
        while (count < original_size) {
            if (m_blockLeft == 0) ReadBlockTables();
            --m_blockLeft;
            if (m_bits.Overrun()) ThrowFailure();
            unsigned code = m_codes.Decode(m_bits);
            if (code < kLiteralCodes) {
                window.Put(static_cast<std::uint8_t>(code));
                ++count;
            } else {
                unsigned length = code - kLiteralCodes + kMinMatch;
                count += length;
                window.Copy(DecodeDistance(), length);
            }
        }
        window.Finish();
    }

private:
    // The block's code count (0 stands for 65,536), then its three code tables.
    void ReadBlockTables() {
        m_blockLeft = static_cast<std::uint16_t>(m_bits.Take(16));
        ReadPtLengths(kLengthCodes, kLengthCountBits, kLengthSpecialIndex);
        ReadCodeLengths();
        ReadPtLengths(kPositionCodes, kPositionCountBits, 0);
    }

    void ReadPtLengths(unsigned symbols, unsigned count_bits, unsigned special_index) {
        unsigned count = m_bits.Take(count_bits);
        if (count == 0) {
            unsigned symbol = m_bits.Take(count_bits);
            if (symbol >= symbols) ThrowFailure();
            m_pt.SetSingle(symbols, symbol);
            return;
        }
        if (count > symbols) ThrowFailure();
        unsigned i = 0;
        while (i < count) {
            std::uint32_t window = m_bits.Peek16();
            unsigned length = window >> 13;
            if (length == 7) {
                for (unsigned mask = 1u << 12; window & mask; mask >>= 1) ++length;
                if (length > kMaxCodeLength) ThrowFailure();
            }
            m_bits.Drop(length < 7 ? 3 : length - 3);
            m_pt.lengths[i++] = static_cast<std::uint8_t>(length);
            if (i == special_index) {
                for (unsigned zeros = m_bits.Take(2); zeros > 0; --zeros) {
                    if (i >= symbols) ThrowFailure();
                    m_pt.lengths[i++] = 0;
                }
            }
        }
        std::fill(m_pt.lengths.begin() + i, m_pt.lengths.end(), 0);
        if (!m_pt.Build(symbols)) ThrowFailure();
    }

    void ReadCodeLengths() {
        unsigned count = m_bits.Take(kCodeCountBits);
        if (count == 0) {
            unsigned symbol = m_bits.Take(kCodeCountBits);
            if (symbol >= kCodeCount) ThrowFailure();
            m_codes.SetSingle(kCodeCount, symbol);
            return;
        }
        if (count > kCodeCount) ThrowFailure();
        unsigned i = 0;
        while (i < count) {
            unsigned code = m_pt.Decode(m_bits);
            if (code >= kLengthCodes) ThrowFailure();
            if (code <= 2) {
                unsigned zeros = code == 0 ? 1 : code == 1 ? m_bits.Take(4) + 3 : m_bits.Take(kCodeCountBits) + 20;
                if (zeros > kCodeCount - i) ThrowFailure();
                std::fill_n(m_codes.lengths.begin() + i, zeros, 0);
                i += zeros;
            } else {
                m_codes.lengths[i++] = static_cast<std::uint8_t>(code - 2);
            }
        }
        std::fill(m_codes.lengths.begin() + i, m_codes.lengths.end(), 0);
        if (!m_codes.Build(kCodeCount)) ThrowFailure();
    }

    // Class 0 is distance 0; class p is 2^(p-1) plus p-1 further bits.
    unsigned DecodeDistance() {
        unsigned position = m_pt.Decode(m_bits);
        if (position >= kPositionCodes) ThrowFailure();
        if (position == 0) return 0;
        --position;
        return (1u << position) + m_bits.Take(position);
    }

    BitReader& m_bits;
    HuffmanTable<kCodeCount, kCodeTableBits> m_codes;
    HuffmanTable<kPtCodesMax, kPtTableBits> m_pt;
    std::uint16_t m_blockLeft = 0;
};

// Method 4's unary prefix: up to `max_ones` one bits, ended by a zero bit unless all were read.
unsigned TakeUnaryPrefix(BitReader& bits, unsigned max_ones) {
    std::uint32_t window = bits.Peek16();
    unsigned ones = 0;
    while (ones < max_ones && (window & (0x8000u >> ones))) ++ones;
    bits.Drop(ones < max_ones ? ones + 1 : ones);
    return ones;
}

void RunFastest(BitReader& bits, std::uint64_t original_size, Window& window) {
    std::uint64_t count = 0;
    while (count < original_size) {
        if (bits.Overrun()) ThrowFailure();
        unsigned ones = TakeUnaryPrefix(bits, kFastLengthPrefixMax);
        unsigned value = (1u << ones) - 1 + bits.Take(ones);
        if (value == 0) {
            window.Put(static_cast<std::uint8_t>(bits.Take(8)));
            ++count;
            continue;
        }
        unsigned length = value + kMinMatch - 1;
        count += length;
        ones = TakeUnaryPrefix(bits, kFastDistancePrefixMax);
        unsigned distance =
            (1u << kFastDistanceBaseBits) * ((1u << ones) - 1) + bits.Take(kFastDistanceBaseBits + ones);
        window.Copy(distance, length);
    }
    window.Finish();
}

}  // namespace

void DecodeHuffman(ByteSource& source, std::uint64_t compressed_size, std::uint64_t original_size, ByteSink& sink) {
    std::unique_ptr<HuffmanDecoder> decoder;
    std::unique_ptr<BitReader> bits;
    std::unique_ptr<Window> window;
    try {
        bits = std::make_unique<BitReader>(source, compressed_size);
        decoder = std::make_unique<HuffmanDecoder>(*bits);
        window = std::make_unique<Window>(sink, original_size);
    } catch (const std::bad_alloc&) {
        ThrowFailure();
    }
    decoder->Run(original_size, *window);
}

void DecodeFastest(ByteSource& source, std::uint64_t compressed_size, std::uint64_t original_size, ByteSink& sink) {
    std::unique_ptr<BitReader> bits;
    std::unique_ptr<Window> window;
    try {
        bits = std::make_unique<BitReader>(source, compressed_size);
        window = std::make_unique<Window>(sink, original_size);
    } catch (const std::bad_alloc&) {
        ThrowFailure();
    }
    RunFastest(*bits, original_size, *window);
}

}  // namespace zel::arj

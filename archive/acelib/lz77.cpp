#include "archive/acelib/lz77.h"

#include <algorithm>
#include <cstring>

namespace zel::ace {
namespace {

constexpr std::uint32_t kMaxDistanceAtLength2 = 255;
constexpr std::uint32_t kMaxDistanceAtLength3 = 8191;

}  // namespace

ModeSwitch ReadModeSwitch(BitReader& bits) {
    ModeSwitch next;
    next.mode = static_cast<std::uint8_t>(bits.Read(8));
    if (next.mode == kModeDelta) {
        next.deltaDistance = static_cast<std::uint8_t>(bits.Read(8));
        next.deltaLength = bits.Read(17);
    } else if (next.mode == kModeExe) {
        next.exeMode = static_cast<std::uint8_t>(bits.Read(8));
    }
    return next;
}

void Window::Append(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        std::size_t at = m_position & kMask;
        std::size_t piece = std::min(size, kSize - at);
        std::memcpy(m_bytes.data() + at, data, piece);
        m_position += piece;
        data += piece;
        size -= piece;
    }
}

void Window::CopyOut(std::uint64_t position, std::size_t size, std::uint8_t* out) const {
    while (size > 0) {
        std::size_t at = position & kMask;
        std::size_t piece = std::min(size, kSize - at);
        std::memcpy(out, m_bytes.data() + at, piece);
        position += piece;
        out += piece;
        size -= piece;
    }
}

void Lz77Decoder::Begin() {
    m_blockLeft = 0;
    std::fill(std::begin(m_history), std::end(m_history), 0u);
    m_batch.clear();
    m_next = 0;
    m_mark = m_window.m_position;
}

void Lz77Decoder::ReadBlock(BitReader& bits) {
    m_main.Read(bits, kMaxCodeWidth, kMainSymbols);
    m_lengths.Read(bits, kMaxCodeWidth, kLengthSymbols);
    m_blockLeft = bits.Read(15);
}

Lz77Decoder::Symbol Lz77Decoder::DecodeSymbol(BitReader& bits) {
    Symbol symbol;
    symbol.code = m_main.Decode(bits);
    if (symbol.code < 256) return symbol;
    if (symbol.code == kTypeCode) {
        symbol.next = ReadModeSwitch(bits);
        return symbol;
    }
    if (symbol.code > 259) {
        unsigned width = symbol.code - 260;
        symbol.distance = width < 2 ? width : bits.Read(width - 1) + (1u << (width - 1));
    }
    symbol.length = m_lengths.Decode(bits);
    return symbol;
}

void Lz77Decoder::Copy(std::uint32_t distance, unsigned length) {
    std::uint8_t* window = m_window.m_bytes.data();
    std::uint64_t position = m_window.m_position;
    std::size_t to = position & Window::kMask;
    // Before the first byte of the archive the window reads as zeros, as it was never written.
    std::size_t from = (position - distance) & Window::kMask;
    if (to + length <= Window::kSize && from + length <= Window::kSize) {
        if (distance >= length) {
            std::memmove(window + to, window + from, length);
        } else {
            for (unsigned i = 0; i < length; ++i) window[to + i] = window[from + i];
        }
    } else {
        for (unsigned i = 0; i < length; ++i) {
            window[(to + i) & Window::kMask] = window[(from + i) & Window::kMask];
        }
    }
    m_window.m_position = position + length;
}

std::size_t Lz77Decoder::Execute(const Symbol& symbol) {
    if (symbol.code < 256) {
        m_window.m_bytes[m_window.m_position & Window::kMask] = static_cast<std::uint8_t>(symbol.code);
        ++m_window.m_position;
        return 1;
    }
    std::uint32_t distance;
    unsigned length = symbol.length;
    if (symbol.code <= 259) {
        unsigned slot = 3 - (symbol.code - 256);
        distance = m_history[slot];
        for (unsigned i = slot; i < 3; ++i) m_history[i] = m_history[i + 1];
        m_history[3] = distance;
        length += symbol.code <= 257 ? 2 : 3;
    } else {
        distance = symbol.distance;
        m_history[0] = m_history[1];
        m_history[1] = m_history[2];
        m_history[2] = m_history[3];
        m_history[3] = distance;
        length += distance <= kMaxDistanceAtLength2 ? 2 : distance <= kMaxDistanceAtLength3 ? 3 : 4;
    }
    Copy(distance + 1, length);
    return length;
}

void Lz77Decoder::ReadBatch(BitReader& bits) {
    if (m_blockLeft <= 0) ReadBlock(bits);
    auto count = static_cast<std::size_t>(std::min<std::int64_t>(m_blockLeft, kBatch));
    m_batch.resize(count);
    for (auto& symbol : m_batch) symbol = DecodeSymbol(bits);
    m_blockLeft -= static_cast<std::int64_t>(count);
    m_next = 0;
}

Lz77Decoder::Result Lz77Decoder::Read(BitReader& bits, std::size_t want, bool lookahead) {
    Result result;
    std::uint64_t have = m_window.m_position - m_mark;
    while (have < want) {
        if (m_next == m_batch.size()) {
            ReadBatch(bits);
            continue;
        }
        const Symbol& symbol = m_batch[m_next++];
        if (symbol.code == kTypeCode) {
            result.switched = true;
            result.next = symbol.next;
            break;
        }
        have += Execute(symbol);
    }
    if (!result.switched && lookahead) {
        // The original decides here whether a mode switch follows: when its batch is used up it
        // reads the next one only if a match went past `want`; a type code next is taken.
        while (m_next == m_batch.size() && have > want) ReadBatch(bits);
        if (m_next < m_batch.size() && m_batch[m_next].code == kTypeCode) {
            result.switched = true;
            result.next = m_batch[m_next++].next;
        }
    }
    result.count = static_cast<std::size_t>(std::min<std::uint64_t>(have, want));
    m_mark += result.count;
    return result;
}

}  // namespace zel::ace

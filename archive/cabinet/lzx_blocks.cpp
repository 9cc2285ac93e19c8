// LZX: the bodies of verbatim, aligned-offset and uncompressed blocks.
#include <cstring>

#include "archive/cabinet/lzx_decoder.h"
#include "archive/cabinet/lzx_tables.h"

namespace zel::cabinet {

// Decodes literals and matches until exactly `run` more bytes are in the window. A match that
// would reach past the run (and so past the block or the frame) is corrupt data.
bool CLzxDecoder::DecodeCompressedRun(Bits& bits, std::uint32_t run, bool aligned) {
    const std::uint32_t stop = m_cursor + run;
    BYTE* const window = m_window;
    while (m_cursor < stop) {
        int symbol = m_mainTree.Decode(bits);
        if (symbol < kNumChars) {
            if (symbol < 0) return false;
            window[m_cursor++] = BYTE(symbol);
            continue;
        }
        symbol -= kNumChars;
        std::uint32_t length = std::uint32_t(symbol & kNumPrimaryLengths);
        if (length == kNumPrimaryLengths) {
            int footer = m_lengthTree.Decode(bits);
            if (footer < 0) return false;
            length += std::uint32_t(footer);
        }
        length += kMinMatch;

        const int slot = symbol >> 3;
        std::uint32_t offset;
        if (slot == 0) {
            offset = m_r0;
        } else if (slot == 1) {
            offset = m_r1;
            m_r1 = m_r0;
            m_r0 = offset;
        } else if (slot == 2) {
            offset = m_r2;
            m_r2 = m_r0;
            m_r0 = offset;
        } else {
            const int extra = kLzxExtraBits[slot];
            offset = kLzxPositionBase[slot] - 2;
            if (aligned && extra >= 3) {
                offset += bits.Read(extra - 3) << 3;
                int low = m_alignedTree.Decode(bits);
                if (low < 0) return false;
                offset += std::uint32_t(low);
            } else {
                offset += bits.Read(extra);
            }
            m_r2 = m_r1;
            m_r1 = m_r0;
            m_r0 = offset;
        }
        if (length > stop - m_cursor || !CopyMatch(offset, length)) return false;
    }
    return true;
}

// Copies `length` bytes from `offset` bytes back to the cursor. The source may lie across the
// window's end (the window is circular); the destination never does, since a frame never wraps.
bool CLzxDecoder::CopyMatch(std::uint32_t offset, std::uint32_t length) {
    const std::uint64_t available = m_totalOut + (m_cursor - m_frameStart);
    if (offset == 0 || offset > m_windowSize || offset > available) return false;
    BYTE* dst = m_window + m_cursor;
    if (offset <= m_cursor) {
        const BYTE* src = dst - offset;
        if (offset >= length) {
            std::memcpy(dst, src, length);
        } else {
            for (std::uint32_t i = 0; i < length; ++i) dst[i] = src[i];
        }
    } else {
        std::uint32_t src = m_cursor + m_windowSize - offset;
        const std::uint32_t mask = m_windowSize - 1;
        for (std::uint32_t i = 0; i < length; ++i) dst[i] = m_window[(src + i) & mask];
    }
    m_cursor += length;
    return true;
}

// Copies `run` bytes of an uncompressed block from the input.
bool CLzxDecoder::CopyUncompressedRun(const BYTE*& raw, const BYTE* end, std::uint32_t run) {
    if (std::uint32_t(end - raw) < run) return false;
    std::memcpy(m_window + m_cursor, raw, run);
    raw += run;
    m_cursor += run;
    return true;
}

}  // namespace zel::cabinet

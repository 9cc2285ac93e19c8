// LZX: set-up, the frame loop, block headers, the trees and the call translation. The block bodies
// are decoded in lzx_blocks.cpp.
#include "archive/cabinet/lzx_decoder.h"

#include <cstring>
#include <new>

#include "archive/cabinet/lzx_tables.h"

namespace zel::cabinet {

int CLzxDecoder::PositionSlotsFor(int windowBits) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits) return 0;
    std::uint32_t size = 1u << windowBits;
    int slots = 0;
    while (kLzxPositionBase[slots] < size) ++slots;
    return slots;
}

CLzxDecoder::CLzxDecoder(int windowBits, const CabMemory& memory) : m_memory(memory) {
    m_positionSlots = PositionSlotsFor(windowBits);
    if (m_positionSlots == 0) return;
    m_windowSize = 1u << windowBits;
    m_mainSymbols = kNumChars + 8 * m_positionSlots;
    m_window = static_cast<BYTE*>(m_memory.alloc(m_windowSize));
    if (m_window == nullptr) return;
    // Matches never reach before the start of a folder's stream (they are refused), so the window
    // needs no clearing when a new folder starts; it is cleared once so that it never holds
    // whatever the allocator left there.
    std::memset(m_window, 0, m_windowSize);
    Reset();
}

CLzxDecoder::~CLzxDecoder() {
    if (m_window != nullptr) m_memory.release(m_window);
}

bool CLzxDecoder::Reset() {
    if (m_window == nullptr) return false;
    m_windowPos = 0;
    m_totalOut = 0;
    m_r0 = m_r1 = m_r2 = 1;
    m_headerRead = false;
    m_translationSize = 0;
    m_frameCount = 0;
    m_blockType = blockNone;
    m_blockLength = 0;
    m_blockRemaining = 0;
    m_pendingPadByte = false;
    std::memset(m_mainLengths, 0, sizeof m_mainLengths);
    std::memset(m_lengthLengths, 0, sizeof m_lengthLengths);
    return true;
}

bool CLzxDecoder::ReadStreamHeader(Bits& bits) {
    if (bits.Read(1) != 0) {
        std::uint32_t high = bits.Read(16);
        m_translationSize = (high << 16) | bits.Read(16);
    } else {
        m_translationSize = 0;
    }
    m_headerRead = true;
    return true;
}

bool CLzxDecoder::Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) {
    if (m_window == nullptr || outLen > kFrameSize) return false;
    // A frame never wraps the window: every frame but a folder's last is exactly 32,768 bytes.
    if (outLen > m_windowSize - m_windowPos) return false;

    const BYTE* end = in + inLen;
    Bits bits;
    const BYTE* raw = in;  // byte position while inside an uncompressed block
    bits.Init(in, end);
    if (!m_headerRead && !ReadStreamHeader(bits)) return false;
    // The padding byte of an odd uncompressed block that ended with the previous frame was the
    // last byte of that frame's data; this frame starts afresh.
    if (m_blockRemaining == 0) m_pendingPadByte = false;

    const std::uint32_t frameStart = m_windowPos;
    m_frameStart = m_cursor = frameStart;
    std::uint32_t todo = outLen;
    while (todo > 0) {
        if (m_blockRemaining == 0) {
            if (m_blockType == blockUncompressed) {
                // An uncompressed block's data is followed by one padding byte when its length is
                // odd; the bit stream resumes after it.
                if (m_pendingPadByte) {
                    if (raw >= end) return false;
                    ++raw;
                }
                bits.Init(raw, end);
            }
            if (!ReadBlockHeader(bits, raw)) return false;
        }
        std::uint32_t run = m_blockRemaining < todo ? m_blockRemaining : todo;
        bool ok = m_blockType == blockUncompressed ? CopyUncompressedRun(raw, end, run)
                                                   : DecodeCompressedRun(bits, run, m_blockType == blockAligned);
        if (!ok) return false;
        m_blockRemaining -= run;
        todo -= run;
    }
    // Zero bits stand in for a few missing bytes at the end (a decoder peeks ahead), but a stream
    // that really consumed more than it holds is corrupt.
    if (m_blockType != blockUncompressed && bits.Overrun() > 16) return false;

    std::memcpy(out, m_window + frameStart, outLen);
    m_windowPos = (m_windowPos + outLen) & (m_windowSize - 1);
    m_totalOut += outLen;
    if (m_frameCount < kMaxTranslatedFrames && m_translationSize != 0 && outLen > 10) UndoCallTranslation(out, outLen);
    ++m_frameCount;
    return true;
}

bool CLzxDecoder::ReadBlockHeader(Bits& bits, const BYTE*& raw) {
    int type = int(bits.Read(3));
    std::uint32_t high = bits.Read(16);
    m_blockLength = (high << 8) | bits.Read(8);
    m_blockRemaining = m_blockLength;
    m_pendingPadByte = false;
    switch (type) {
        case blockAligned:
            for (int i = 0; i < kAlignedSymbols; ++i) m_alignedLengths[i] = BYTE(bits.Read(3));
            if (!m_alignedTree.Build(m_alignedLengths) || m_alignedTree.Empty()) return false;
            m_blockType = blockAligned;
            return ReadCompressedTrees(bits);
        case blockVerbatim: m_blockType = blockVerbatim; return ReadCompressedTrees(bits);
        case blockUncompressed: {
            m_blockType = blockUncompressed;
            m_pendingPadByte = (m_blockLength & 1) != 0;
            bits.SkipToNextWord();
            raw = bits.BytePosition();
            if (raw == nullptr || bits.End() - raw < 12) return false;
            auto word = [&raw](int i) {
                const BYTE* p = raw + 4 * i;
                return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                       std::uint32_t(p[3]) << 24;
            };
            m_r0 = word(0);
            m_r1 = word(1);
            m_r2 = word(2);
            raw += 12;
            return true;
        }
        default: return false;
    }
}

bool CLzxDecoder::ReadCompressedTrees(Bits& bits) {
    if (!ReadTreeLengths(bits, m_mainLengths, 0, kNumChars)) return false;
    if (!ReadTreeLengths(bits, m_mainLengths, kNumChars, m_mainSymbols)) return false;
    if (!m_mainTree.Build(m_mainLengths) || m_mainTree.Empty()) return false;
    if (!ReadTreeLengths(bits, m_lengthLengths, 0, kLengthSymbols)) return false;
    // An empty length tree is allowed as long as no match needs it.
    return m_lengthTree.Build(m_lengthLengths);
}

// The lengths of elements [first, last) are coded as changes against their previous values through
// a 20-element pretree whose own lengths are 4-bit fields.
bool CLzxDecoder::ReadTreeLengths(Bits& bits, BYTE* lengths, int first, int last) {
    BYTE pretreeLengths[kPretreeSymbols];
    for (auto& length : pretreeLengths) length = BYTE(bits.Read(4));
    CHuffmanTable<kPretreeSymbols, 6> pretree;
    if (!pretree.Build(pretreeLengths) || pretree.Empty()) return false;

    int i = first;
    while (i < last) {
        int code = pretree.Decode(bits);
        if (code < 0) return false;
        if (code == 17 || code == 18) {
            int run = code == 17 ? 4 + int(bits.Read(4)) : 20 + int(bits.Read(5));
            if (run > last - i) return false;
            while (run-- > 0) lengths[i++] = 0;
        } else if (code == 19) {
            int run = 4 + int(bits.Read(1));
            code = pretree.Decode(bits);
            if (code < 0 || code > 16 || run > last - i) return false;
            BYTE value = BYTE((lengths[i] + 17 - code) % 17);
            while (run-- > 0) lengths[i++] = value;
        } else {
            lengths[i] = BYTE((lengths[i] + 17 - code) % 17);
            ++i;
        }
    }
    return true;
}

// Undoes the encoder's translation of the 32-bit operands of 0xE8 (call) instructions from relative
// to absolute form. `m_totalOut` (before this frame) is the position of the frame in the stream.
void CLzxDecoder::UndoCallTranslation(BYTE* data, std::uint32_t length) const {
    const std::int32_t fileSize = std::int32_t(m_translationSize);
    std::int32_t position = std::int32_t(m_totalOut - length);
    const BYTE* stop = data + length - 10;
    for (BYTE* p = data; p < stop;) {
        if (*p++ != 0xE8) {
            ++position;
            continue;
        }
        std::int32_t absolute = std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 |
                                             std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
        if (absolute >= -position && absolute < fileSize) {
            std::int32_t relative = absolute >= 0 ? absolute - position : absolute + fileSize;
            std::uint32_t r = std::uint32_t(relative);
            p[0] = BYTE(r);
            p[1] = BYTE(r >> 8);
            p[2] = BYTE(r >> 16);
            p[3] = BYTE(r >> 24);
        }
        p += 4;
        position += 5;
    }
}

}  // namespace zel::cabinet

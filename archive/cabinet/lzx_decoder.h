// The LZX method of cabinet folders: an LZ77 window of 2^15 to 2^21 bytes, coded in blocks that are
// verbatim (Huffman-coded literals and matches), aligned-offset (the same, with the low three bits
// of long offsets coded by an extra tree) or uncompressed; the output is undone of the 0xE8 call
// translation frame by frame. Each cabinet data block is one frame of at most 32,768 bytes, and the
// bit stream starts afresh, word-aligned, with every frame.
#pragma once

#include <cstdint>

#include "archive/cabinet/bit_reader.h"
#include "archive/cabinet/cab_decoder.h"
#include "archive/cabinet/huffman_table.h"

namespace zel::cabinet {

class CLzxDecoder final : public CCabDecoder {
public:
    static constexpr int kMinWindowBits = 15;
    static constexpr int kMaxWindowBits = 21;
    static constexpr int kMaxPositionSlots = 50;
    static constexpr int kNumChars = 256;
    static constexpr int kMainSymbolsMax = kNumChars + 8 * kMaxPositionSlots;  // 656
    static constexpr int kLengthSymbols = 249;
    static constexpr int kAlignedSymbols = 8;
    static constexpr int kPretreeSymbols = 20;
    static constexpr int kMinMatch = 2;
    static constexpr int kNumPrimaryLengths = 7;
    static constexpr std::uint32_t kFrameSize = 32768;
    static constexpr std::uint32_t kMaxTranslatedFrames = 32768;

    // Init: allocates the window through `memory`; check Ready() afterwards.
    CLzxDecoder(int windowBits, const CabMemory& memory);
    ~CLzxDecoder() override;
    CLzxDecoder(const CLzxDecoder&) = delete;
    CLzxDecoder& operator=(const CLzxDecoder&) = delete;

    bool Ready() const { return m_window != nullptr; }
    bool Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) override;
    bool Reset() override;

    // The number of position slots that cover a window of 2^windowBits bytes (0 if unsupported).
    static int PositionSlotsFor(int windowBits);

private:
    enum EBlockType : int { blockNone = 0, blockVerbatim = 1, blockAligned = 2, blockUncompressed = 3 };
    using Bits = CBitReader<2>;

    bool ReadStreamHeader(Bits& bits);
    bool ReadBlockHeader(Bits& bits, const BYTE*& raw);
    bool ReadTreeLengths(Bits& bits, BYTE* lengths, int first, int last);
    bool ReadCompressedTrees(Bits& bits);
    // Each decodes `run` bytes of the current block into the window; false on corrupt data.
    bool DecodeCompressedRun(Bits& bits, std::uint32_t run, bool aligned);
    bool CopyUncompressedRun(const BYTE*& raw, const BYTE* end, std::uint32_t run);
    bool CopyMatch(std::uint32_t offset, std::uint32_t length);
    void UndoCallTranslation(BYTE* data, std::uint32_t length) const;

    CabMemory m_memory;
    BYTE* m_window = nullptr;
    std::uint32_t m_windowSize = 0;
    int m_positionSlots = 0;
    int m_mainSymbols = 0;

    // Per folder.
    std::uint32_t m_windowPos = 0;   // where the next frame starts
    std::uint32_t m_frameStart = 0;  // while decoding: where this frame started
    std::uint32_t m_cursor = 0;      // while decoding: where the next byte goes
    std::uint64_t m_totalOut = 0;    // bytes produced since Reset
    std::uint32_t m_r0 = 1, m_r1 = 1, m_r2 = 1;
    bool m_headerRead = false;
    std::uint32_t m_translationSize = 0;
    std::uint32_t m_frameCount = 0;
    EBlockType m_blockType = blockNone;
    std::uint32_t m_blockLength = 0;
    std::uint32_t m_blockRemaining = 0;
    bool m_pendingPadByte = false;

    BYTE m_mainLengths[kMainSymbolsMax] = {};
    BYTE m_lengthLengths[kLengthSymbols] = {};
    BYTE m_alignedLengths[kAlignedSymbols] = {};
    CHuffmanTable<kMainSymbolsMax, 11> m_mainTree;
    CHuffmanTable<kLengthSymbols, 10> m_lengthTree;
    CHuffmanTable<kAlignedSymbols, 7> m_alignedTree;
};

}  // namespace zel::cabinet

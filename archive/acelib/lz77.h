// The LZ77 layer of ACE 1.0 and 2.0: the sliding window shared by every mode of an archive, and
// the decoder of LZ77 symbol blocks.
//
// A block holds a main table (284 symbols), a length table (255 symbols) and a 15-bit count of
// main symbols. Main symbols 0-255 are literals; 256-259 repeat one of the last four distances
// (the one used moves to the front); 260-282 carry a new distance of (symbol - 260) bits whose
// top bit is implied; 283 switches the ACE 2.0 mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/acelib/bit_reader.h"
#include "archive/acelib/huffman.h"

namespace zel::ace {

// ACE 2.0 modes, switched by the type code of LZ77 streams and by the SOUND and PIC decoders.
enum Mode : std::uint8_t {
    kModeLz77 = 0,
    kModeDelta = 1,
    kModeExe = 2,
    kModeSound8 = 3,
    kModeSound16 = 4,
    kModeSound32A = 5,
    kModeSound32B = 6,
    kModePic = 7,
};

struct ModeSwitch {
    std::uint8_t mode = kModeLz77;
    std::uint8_t deltaDistance = 0;  // DELTA: number of interleaved planes
    std::uint32_t deltaLength = 0;   // DELTA: bytes per block
    std::uint8_t exeMode = 0;        // EXE: 0 = 16-bit CALL operands, otherwise 32-bit
};

// Reads the 8-bit mode that follows a type code, and its parameters.
ModeSwitch ReadModeSwitch(BitReader& bits);

// The window: the last 4 MiB of output of every entry of an archive, kept across entries so that
// solid archives can refer back into earlier entries. Positions count every byte ever added.
class Window {
public:
    static constexpr unsigned kBits = 22;  // the largest dictionary ACE defines
    static constexpr std::size_t kSize = std::size_t{1} << kBits;
    static constexpr std::size_t kMask = kSize - 1;

    Window() : m_bytes(kSize) {}

    std::uint64_t Position() const { return m_position; }
    void Append(const std::uint8_t* data, std::size_t size);
    // Copies `size` bytes starting at `position` (which must still be in the window).
    void CopyOut(std::uint64_t position, std::size_t size, std::uint8_t* out) const;
    // Forgets the bytes after `position` (output that went past the end of an entry).
    void Rewind(std::uint64_t position) { m_position = position; }

    std::uint8_t* Data() { return m_bytes.data(); }

private:
    friend class Lz77Decoder;
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_position = 0;
};

class Lz77Decoder {
public:
    static constexpr unsigned kTypeCode = 283;
    static constexpr unsigned kMainSymbols = 284;
    static constexpr unsigned kLengthSymbols = 255;
    static constexpr std::size_t kBatch = 1024;

    explicit Lz77Decoder(Window& window) : m_window(window) {}

    // Starts an entry: fresh tables and distance history; the window carries over.
    void Begin();

    struct Result {
        std::size_t count = 0;  // new bytes ready: the `count` window bytes before Mark()
        bool switched = false;  // a type code was read; `next` holds the new mode
        ModeSwitch next;
    };
    // Decodes until `want` (> 0) bytes are ready or a type code is met. A match may run past
    // `want`; the surplus stays in the window and is handed out by the next call. With
    // `lookahead`, a type code that directly follows the wanted bytes is taken as well.
    Result Read(BitReader& bits, std::size_t want, bool lookahead);

    // Everything in the window up to Mark() has been handed out.
    std::uint64_t Mark() const { return m_mark; }
    // Other modes wrote into the window: nothing of LZ77 is outstanding any more.
    void SyncMark() { m_mark = m_window.m_position; }
    // Drops the bytes decoded past the end of an entry.
    void EndEntry() { m_window.Rewind(m_mark); }

private:
    struct Symbol {
        unsigned code = 0;
        unsigned length = 0;
        std::uint32_t distance = 0;
        ModeSwitch next;
    };

    void ReadBlock(BitReader& bits);
    Symbol DecodeSymbol(BitReader& bits);
    // Reads the next batch of symbols, and a new block first when the current one is used up.
    void ReadBatch(BitReader& bits);
    // Carries out a literal or match; returns the number of bytes written.
    std::size_t Execute(const Symbol& symbol);
    void Copy(std::uint32_t distance, unsigned length);

    Window& m_window;
    HuffmanTable m_main;
    HuffmanTable m_lengths;
    std::int64_t m_blockLeft = 0;               // symbols of the block not yet read from the stream
    std::uint32_t m_history[4] = {0, 0, 0, 0};  // [3] is the most recent distance
    std::vector<Symbol> m_batch;                // symbols read, from m_next on not yet carried out
    std::size_t m_next = 0;
    std::uint64_t m_mark = 0;
};

}  // namespace zel::ace

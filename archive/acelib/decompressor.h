// Unpacks the data of ACE entries: stored, ACE 1.0 LZ77 and ACE 2.0 blocked with all its modes.
// One Decompressor serves a whole archive, since solid archives continue the window of the entry
// before; the tables and the distance history start afresh with every entry.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/acelib/ace_format.h"
#include "archive/acelib/bit_reader.h"
#include "archive/acelib/byte_stream.h"
#include "archive/acelib/lz77.h"
#include "archive/acelib/pic.h"
#include "archive/acelib/sound.h"

namespace zel::ace {

class Decompressor {
public:
    Decompressor();

    // Unpacks exactly `size` bytes from `packed` into `out` and returns their ACE CRC-32.
    // `dictionaryBits` (10 to 22) is checked but the window always holds the largest dictionary.
    // Throws AceError when the data is corrupt or the method unknown; writes nothing beyond `size`.
    std::uint32_t Unpack(unsigned method, unsigned dictionaryBits, ByteSource& packed, std::uint64_t size,
                         ByteSink& out);

private:
    class Output;
    void UnpackStored(ByteSource& packed, Output& out);
    void UnpackLz77(BitReader& bits, Output& out);
    void UnpackBlocked(BitReader& bits, Output& out);
    // One run of each ACE 2.0 mode, up to the next mode switch (returned in `next`).
    bool RunLz77(BitReader& bits, Output& out, const ModeSwitch& mode, ModeSwitch& next);
    bool RunDelta(BitReader& bits, Output& out, const ModeSwitch& mode, ModeSwitch& next);
    bool RunSound(BitReader& bits, Output& out, ModeSwitch& next);
    bool RunPic(BitReader& bits, Output& out, ModeSwitch& next);
    // Hands out the `count` LZ77 bytes before the decoder's mark into `m_pending`.
    void TakeLz77(std::size_t count);

    std::unique_ptr<Window> m_window;
    Lz77Decoder m_lz77;
    SoundDecoder m_sound;
    PicDecoder m_pic;
    std::vector<std::uint8_t> m_pending;  // LZ77 output not yet written (EXE look-ahead)
    std::vector<std::uint8_t> m_exeHeld;  // bytes the EXE filter held back at a mode switch
    std::vector<std::uint8_t> m_buffer;
    std::vector<std::uint8_t> m_deltaBlock;
    std::uint8_t m_deltaSum = 0;
};

}  // namespace zel::ace

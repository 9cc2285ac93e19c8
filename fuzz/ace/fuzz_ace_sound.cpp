// Fuzzes the SOUND decoder on its own, from memory. Input: one byte choosing SOUND_8, SOUND_16,
// SOUND_32A or SOUND_32B, two bytes of output size, then the bit stream.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/bit_reader.h"
#include "archive/acelib/sound.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    unsigned mode = zel::ace::kModeSound8 + data[0] % 4;
    std::vector<std::uint8_t> out((data[1] | data[2] << 8) & ~3u);
    zel::ace::MemorySource source(data + 3, size - 3);
    zel::ace::BitReader bits(source);
    zel::ace::SoundDecoder decoder;
    try {
        decoder.Begin(mode);
        decoder.StartRun();
        std::size_t done = 0;
        while (done < out.size()) {
            bool switched = false;
            zel::ace::ModeSwitch next;
            std::size_t got = decoder.Decode(bits, out.data() + done, out.size() - done, switched, next);
            if (got > out.size() - done) __builtin_trap();
            done += got;
            if (switched) {
                if (next.mode < zel::ace::kModeSound8 || next.mode > zel::ace::kModeSound32B) break;
                decoder.StartRun();
            }
        }
    } catch (const zel::ace::AceError&) {
    }
    return 0;
}

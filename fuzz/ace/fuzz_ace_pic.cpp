// Fuzzes the PIC decoder on its own, from memory. Input: two bytes of output size, then the bit
// stream, which starts with the row width and the number of planes as the mode switch gives them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/bit_reader.h"
#include "archive/acelib/pic.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    std::vector<std::uint8_t> out(data[0] | data[1] << 8);
    zel::ace::MemorySource source(data + 2, size - 2);
    zel::ace::BitReader bits(source);
    zel::ace::PicDecoder decoder;
    try {
        decoder.Begin(bits);
        std::size_t done = 0;
        while (done < out.size()) {
            bool switched = false;
            zel::ace::ModeSwitch next;
            std::size_t got = decoder.Decode(bits, out.data() + done, out.size() - done, switched, next);
            if (got > out.size() - done) __builtin_trap();
            done += got;
            if (switched) break;
        }
    } catch (const zel::ace::AceError&) {
    }
    return 0;
}

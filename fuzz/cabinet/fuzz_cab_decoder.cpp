// Fuzzes one cabinet decoder on its own (FUZZ_CAB_METHOD: 1 MSZIP, 2 Quantum, 3 LZX). Input: one
// byte choosing the window size, then blocks, each two little-endian 16-bit sizes (compressed,
// uncompressed; the latter taken modulo 32,769) and the compressed bytes. A block that fails
// resets the decoder, as a new folder would, and decoding goes on with the next block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/cabinet/cab_decoder.h"

using namespace zel::cabinet;

namespace {

void* Alloc(std::uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void Release(void* memory) { std::free(memory); }

int WindowBits(std::uint8_t choice) {
    switch (FUZZ_CAB_METHOD) {
        case cabMethodQuantum: return 10 + choice % 12;  // 10..21
        case cabMethodLzx: return 15 + choice % 7;       // 15..21
        default: return 0;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const CabMemory memory{Alloc, Release};
    const std::uint16_t type = std::uint16_t(FUZZ_CAB_METHOD | WindowBits(data[0]) << 8);
    CCabDecoder* decoder = CreateCabDecoder(type, memory);
    if (decoder == nullptr) std::abort();  // every window in range must be accepted
    std::vector<BYTE> out(kCabMaxBlockSize);
    std::size_t pos = 1;
    while (size - pos >= 4) {
        std::uint32_t inLen = data[pos] | data[pos + 1] << 8;
        std::uint32_t outLen = (data[pos + 2] | data[pos + 3] << 8) % (kCabMaxBlockSize + 1);
        pos += 4;
        inLen = std::uint32_t(std::min<std::size_t>(inLen, size - pos));
        // The input is copied so that reading past its end is caught by the sanitizers.
        std::vector<BYTE> in(data + pos, data + pos + inLen);
        pos += inLen;
        if (!decoder->Decompress(in.data(), inLen, out.data(), outLen) && !decoder->Reset()) std::abort();
    }
    DestroyCabDecoder(decoder, memory);
    return 0;
}

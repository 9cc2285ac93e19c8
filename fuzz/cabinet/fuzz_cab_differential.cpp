// Differential fuzzing: the same cabinet bytes through our decompressor and through libmspack.
// Where both extract a file, the bytes must be the same. Cabinets with a Quantum folder are left
// out of the comparison: the two disagree on which input bytes a Quantum frame reads when the frame
// before it left bytes holding a 0xFF at its block's end or ran past its block, which intact data
// never does (it leaves only a few zero bytes) but damaged data without checksums can. We start
// every frame at its block's first byte, never read the bytes a frame leaves at its block's end,
// and give zero bits to a frame that runs past its block (by at most 32 bits). libmspack reads a
// folder's blocks as one stream with a 0xFF byte after each block: it starts the next frame behind
// the first 0xFF at or after where the last one stopped, and a frame that runs over reads that 0xFF
// and the next block. So after a damaged frame that both accept, the next frame decodes from other
// bytes, to other garbage (test CabDifferential.QuantumFrameAfterADamagedOneStartsAtItsOwnBlock).
#include <cstdint>
#include <cstdlib>

#include "archive/cabinet/cab_decoder.h"
#include "tests/cabinet/support/mspack_oracle.h"

using namespace zel::cabinet;
using namespace zel::cabinet::test;

namespace {

std::uint32_t Le(const Bytes& b, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + std::size_t(i)];
    return v;
}

// Skips a zero-terminated string; false when it does not end within the input.
bool SkipString(const Bytes& b, std::size_t& at) {
    while (at < b.size() && b[at] != 0) ++at;
    return at++ < b.size();
}

// Whether any folder entry of the cabinet names the Quantum method (true when unsure).
bool HasQuantumFolder(const Bytes& b) {
    if (b.size() < 36) return false;
    const std::uint32_t folders = Le(b, 26, 2), flags = Le(b, 30, 2);
    std::size_t at = 36, folderReserve = 0;
    if (flags & 4) {
        if (b.size() < 40) return true;
        folderReserve = b[38];
        at = 40 + Le(b, 36, 2);
    }
    for (int k = 0; k < ((flags & 1) ? 2 : 0) + ((flags & 2) ? 2 : 0); ++k) {
        if (!SkipString(b, at)) return true;
    }
    for (std::uint32_t i = 0; i < folders; ++i, at += 8 + folderReserve) {
        if (at + 8 > b.size()) return true;
        if (CabMethodOf(std::uint16_t(Le(b, at + 6, 2))) == cabMethodQuantum) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Keep the work per input small: libmspack and we each decode every file.
    if (size > 1 << 16) return 0;
    Bytes cabinet(data, data + size);
    Differential both = DecodeBoth(cabinet, std::size_t(32) << 20);
    if (!both.mismatch.empty() && !HasQuantumFolder(cabinet)) std::abort();
    return 0;
}

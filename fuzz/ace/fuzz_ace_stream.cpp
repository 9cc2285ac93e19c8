// Fuzzes one ACE compression method from memory, through the decompressor as an entry of that
// method (FUZZ_ACE_METHOD: 1 the ACE 1.0 LZ77 stream, 2 the ACE 2.0 blocked stream with every mode
// and the switches between them). Input: see fuzz_ace_decoder.h.
#include <cstddef>
#include <cstdint>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/decompressor.h"
#include "fuzz/ace/fuzz_ace_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zel::ace::fuzz::Prefixed input{};
    if (!zel::ace::fuzz::SplitInput(data, size, input)) return 0;
    zel::ace::MemorySource source(input.data, input.size);
    zel::ace::fuzz::CountingSink sink;
    // One decompressor for every input, as one serves a whole archive: its 4 MiB window is
    // made once, and each entry starts its tables afresh (what carries over is window content).
    static zel::ace::Decompressor decompressor;
    try {
        decompressor.Unpack(FUZZ_ACE_METHOD, input.dictionaryBits, source, input.outputSize, sink);
    } catch (const zel::ace::AceError&) {
    }
    if (sink.total > input.outputSize) __builtin_trap();  // never more than the header's size
    return 0;
}

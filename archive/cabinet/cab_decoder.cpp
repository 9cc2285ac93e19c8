// The decoder for each method, and the one that copies stored blocks.
#include "archive/cabinet/cab_decoder.h"

#include <cstring>
#include <new>

#include "archive/cabinet/lzx_decoder.h"
#include "archive/cabinet/mszip_decoder.h"
#include "archive/cabinet/quantum_decoder.h"

namespace zel::cabinet {
namespace {

// Method 0: the block is stored as it is.
class CStoredDecoder final : public CCabDecoder {
public:
    bool Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) override {
        if (inLen != outLen) return false;
        std::memcpy(out, in, outLen);
        return true;
    }
    bool Reset() override { return true; }
};

// Constructs T in memory from the callbacks; null when allocation or T's own set-up fails.
template <typename T, typename... Args>
CCabDecoder* Make(const CabMemory& memory, Args... args) {
    void* place = memory.alloc(sizeof(T));
    if (place == nullptr) return nullptr;
    T* decoder = new (place) T(args...);
    if constexpr (requires { decoder->Ready(); }) {
        if (!decoder->Ready()) {
            decoder->~T();
            memory.release(place);
            return nullptr;
        }
    }
    return decoder;
}

}  // namespace

std::uint32_t CabInputMargin(int method) {
    switch (method) {
        case cabMethodMszip: return 12;
        case cabMethodQuantum: return 10240;
        case cabMethodLzx: return 6144;
        default: return 0;
    }
}

CCabDecoder* CreateCabDecoder(std::uint16_t compressionType, const CabMemory& memory) {
    const int bits = CabWindowBitsOf(compressionType);
    switch (CabMethodOf(compressionType)) {
        case cabMethodNone: return Make<CStoredDecoder>(memory);
        case cabMethodMszip: return Make<CMszipDecoder>(memory, memory);
        case cabMethodQuantum: return Make<CQuantumDecoder>(memory, bits, memory);
        case cabMethodLzx: return Make<CLzxDecoder>(memory, bits, memory);
        default: return nullptr;
    }
}

void DestroyCabDecoder(CCabDecoder* decoder, const CabMemory& memory) {
    if (decoder == nullptr) return;
    decoder->~CCabDecoder();
    memory.release(decoder);
}

}  // namespace zel::cabinet

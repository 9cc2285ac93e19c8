// One decoder per compression method of a cabinet folder. A decoder turns one data block at a time
// into exactly the block's uncompressed size and keeps what it needs from block to block (history,
// models, trees) until Reset, which starts a new folder. It allocates only through the memory
// callbacks it is given, so it can be tested on its own without a cabinet around it.
#pragma once

#include <cstdint>

#include "framework/framework_types.h"

namespace zel::cabinet {

// The allocation pair of the decompressor's callbacks.
struct CabMemory {
    void* (*alloc)(std::uint32_t size);
    void (*release)(void* memory);
};

// The low 4 bits of a folder's compression type.
enum ECabMethod : int { cabMethodNone = 0, cabMethodMszip = 1, cabMethodQuantum = 2, cabMethodLzx = 3 };

// The largest uncompressed size of a data block, and so the size of the output buffer.
inline constexpr std::uint32_t kCabMaxBlockSize = 32768;

class CCabDecoder {
public:
    virtual ~CCabDecoder() = default;

    // Decodes one block of compressed bytes `in[0..inLen)` into exactly `outLen` bytes (at most
    // kCabMaxBlockSize) at `out`. False when the data is corrupt or gives another length; the decoder
    // must then be Reset before it is used again.
    virtual bool Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) = 0;

    // Forgets history and state so that the next block starts a new folder. False if the decoder
    // cannot be made ready again.
    virtual bool Reset() = 0;
};

// The method of a compression type word, and its window size in bits (bits 8 to 12).
inline int CabMethodOf(std::uint16_t compressionType) { return compressionType & 0x0F; }
inline int CabWindowBitsOf(std::uint16_t compressionType) { return (compressionType >> 8) & 0x1F; }

// How many bytes beyond kCabMaxBlockSize a compressed block of this method may hold.
std::uint32_t CabInputMargin(int method);

// Creates and readies the decoder for a folder's compression type, allocated through `memory`.
// Null when the method or its window size is not supported or memory runs out.
CCabDecoder* CreateCabDecoder(std::uint16_t compressionType, const CabMemory& memory);

// Frees a decoder made by CreateCabDecoder. Null is allowed.
void DestroyCabDecoder(CCabDecoder* decoder, const CabMemory& memory);

}  // namespace zel::cabinet

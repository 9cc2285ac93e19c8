// The Quantum method of cabinet folders: an LZ77 window of 2^10 to 2^21 bytes whose literals and
// matches are coded with an arithmetic coder over adaptive models. Each cabinet data block is one
// frame: the coder starts afresh at the frame's first byte, while window and models go on.
//
// All state lives in the decoder object, so that any number of decoders can run at once in
// different threads.
#pragma once

#include <cstdint>

#include "archive/cabinet/bit_reader.h"
#include "archive/cabinet/cab_decoder.h"
#include "archive/cabinet/quantum_model.h"

namespace zel::cabinet {

class CQuantumDecoder final : public CCabDecoder {
public:
    static constexpr int kMinWindowBits = 10;
    static constexpr int kMaxWindowBits = 21;

    // Init: allocates the window through `memory`; check Ready() afterwards.
    CQuantumDecoder(int windowBits, const CabMemory& memory);
    ~CQuantumDecoder() override;
    CQuantumDecoder(const CQuantumDecoder&) = delete;
    CQuantumDecoder& operator=(const CQuantumDecoder&) = delete;

    bool Ready() const { return m_window != nullptr; }
    bool Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) override;
    bool Reset() override;

private:
    using Bits = CBitReader<1>;

    // The arithmetic decoder: 16-bit high, low and code registers.
    int DecodeSymbol(CQuantumModel& model, Bits& bits);
    void Put(BYTE value, BYTE* out, std::uint32_t& produced);

    CabMemory m_memory;
    int m_windowBits = 0;
    BYTE* m_window = nullptr;
    std::uint32_t m_windowSize = 0;
    std::uint32_t m_windowPos = 0;
    std::uint64_t m_totalOut = 0;

    std::uint16_t m_high = 0;
    std::uint16_t m_low = 0;
    std::uint16_t m_code = 0;

    CQuantumModel m_selector;     // 7 symbols
    CQuantumModel m_literals[4];  // 64 symbols each: bytes 0-63, 64-127, 128-191, 192-255
    CQuantumModel m_position3;    // matches of length 3
    CQuantumModel m_position4;    // matches of length 4
    CQuantumModel m_position5;    // longer matches
    CQuantumModel m_length;       // 27 symbols: the length of longer matches
};

}  // namespace zel::cabinet

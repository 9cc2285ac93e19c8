// ACE 2.0 SOUND modes: audio samples as bytes, each byte predicted per channel by an adaptive
// linear predictor, the prediction error Huffman-coded with three tables per channel (289
// symbols: 256 error values, 32 zero-run lengths and the type code).
//
// SOUND_8 has one channel; SOUND_16 alternates two (low and high byte); SOUND_32A and SOUND_32B
// spread the four bytes of a sample over three channels in two different ways.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/acelib/huffman.h"
#include "archive/acelib/lz77.h"

namespace zel::ace {

class SoundDecoder {
public:
    static constexpr unsigned kRunLengthCodes = 32;
    static constexpr unsigned kTypeCode = 256 + kRunLengthCodes;
    static constexpr unsigned kSymbols = kTypeCode + 1;
    static constexpr unsigned kMaxWidth = 10;

    SoundDecoder();

    // Entering a SOUND mode (3 to 6) from another mode: every channel starts afresh.
    void Begin(unsigned mode);
    // Every run of the mode counts its bytes from the first channel again.
    void StartRun() { m_byteIndex = 0; }

    // Decodes up to `count` bytes into `out`; stops early at a type code, which sets `switched`
    // and `next`. Returns the number of bytes written.
    std::size_t Decode(BitReader& bits, std::uint8_t* out, std::size_t count, bool& switched, ModeSwitch& next);

    // One channel's predictor state; public so that test encoders can model the same channel.
    struct Channel {
        int predictionCount[2] = {0, 0};
        int lastPredictionCount[2] = {0, 0};
        int delta[4] = {0, 0, 0, 0};
        int coefficient[4] = {0, 0, 0, 0};
        int error[9] = {};
        std::uint32_t byteCount = 0;
        int lastByte = 0;
        int adaptCount = 0;
        int adaptModel = 0;
        int state = 0;  // 0 value or run code, 1 value after a run, 2 inside a zero run
        unsigned code = 0;
    };

    // The byte the channel predicts next.
    static int Predict(const Channel& channel);
    // Feeds the byte that was produced back into the channel's predictor.
    void Adapt(Channel& channel, int byte) const;
    static unsigned ChannelOfByte(unsigned mode, std::size_t index);

private:
    unsigned NextSymbol(BitReader& bits, unsigned model);
    // The next prediction error of `channel`; false at a type code.
    bool NextValue(BitReader& bits, Channel& channel, unsigned index, int& value, ModeSwitch& next);
    static int PredictedByte(const Channel& channel);

    std::array<std::uint8_t, 256> m_quantizer{};
    std::array<Channel, 3> m_channels{};
    std::array<HuffmanTable, 9> m_tables;
    unsigned m_mode = 0;  // 0 SOUND_8 ... 3 SOUND_32B
    std::int64_t m_blockLeft = 0;
    std::size_t m_byteIndex = 0;
};

}  // namespace zel::ace

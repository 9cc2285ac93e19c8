#include "archive/acelib/sound.h"

#include <bit>
#include <cstdlib>

namespace zel::ace {
namespace {

constexpr unsigned kChannelCount[4] = {1, 2, 3, 3};
// Which channel each byte of a 4-byte group belongs to, per SOUND mode.
constexpr unsigned kChannelOfByte[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 0, 2}, {1, 0, 2, 0}};
constexpr int kAdaptThreshold = 40;

}  // namespace

SoundDecoder::SoundDecoder() {
    for (unsigned i = 1; i <= 128; ++i) {
        auto width = static_cast<std::uint8_t>(std::bit_width(i));
        m_quantizer[i] = width;
        m_quantizer[256 - i] = width;
    }
}

void SoundDecoder::Begin(unsigned mode) {
    m_mode = mode - kModeSound8;
    for (auto& channel : m_channels) channel = Channel{};
    m_blockLeft = 0;
    m_byteIndex = 0;
}

unsigned SoundDecoder::ChannelOfByte(unsigned mode, std::size_t index) {
    return kChannelOfByte[mode - kModeSound8][index % 4];
}

unsigned SoundDecoder::NextSymbol(BitReader& bits, unsigned model) {
    if (m_blockLeft == 0) {
        // Fresh tables for every model of the mode, then the number of symbols they serve.
        for (unsigned i = 0; i < kChannelCount[m_mode] * 3; ++i) {
            m_tables[i].Read(bits, kMaxWidth, kSymbols);
        }
        m_blockLeft = bits.Read(15);
    }
    // A block count of zero is not re-read: the original keeps its tables from then on.
    --m_blockLeft;
    return m_tables[model].Decode(bits);
}

bool SoundDecoder::NextValue(BitReader& bits, Channel& channel, unsigned index, int& value, ModeSwitch& next) {
    if (channel.state != 2) {
        unsigned model = channel.state << 1;
        if (model == 0) model += channel.adaptModel;
        channel.code = NextSymbol(bits, model + 3 * index);
        if (channel.code == kTypeCode) {
            next = ReadModeSwitch(bits);
            return false;
        }
    }
    int raw = 0;
    if (channel.state == 0) {
        if (channel.code >= kRunLengthCodes) {
            raw = static_cast<int>(channel.code - kRunLengthCodes);
            channel.adaptCount = ((channel.adaptCount * 7) >> 3) + raw;
            channel.adaptModel = channel.adaptCount > kAdaptThreshold ? 1 : 0;
        } else {
            channel.state = 2;
        }
    } else if (channel.state == 1) {
        raw = static_cast<int>(channel.code);
        channel.state = 0;
    }
    if (channel.state == 2) {
        // A run code n stands for n + 1 zero errors, then a value read with the second model.
        if (channel.code == 0) {
            channel.state = 1;
        } else {
            --channel.code;
        }
        raw = 0;
    }
    value = (raw & 1) ? 255 - (raw >> 1) : raw >> 1;
    return true;
}

int SoundDecoder::PredictedByte(const Channel& channel) {
    int sum = 8 * channel.lastByte;
    for (int i = 0; i < 4; ++i) sum += channel.coefficient[i] * channel.delta[i];
    return (sum >> 3) & 0xFF;
}

int SoundDecoder::Predict(const Channel& channel) {
    return channel.predictionCount[0] > channel.predictionCount[1] ? channel.lastByte : PredictedByte(channel);
}

void SoundDecoder::Adapt(Channel& channel, int byte) const {
    ++channel.byteCount;
    // Differences between bytes are taken as signed 8-bit values, wrapping around.
    int predictionError = static_cast<std::int8_t>(PredictedByte(channel) - byte) * 8;
    for (int i = 0; i < 4; ++i) {
        channel.error[2 * i] += std::abs(predictionError - channel.delta[i]);
        channel.error[2 * i + 1] += std::abs(predictionError + channel.delta[i]);
    }
    channel.error[8] += std::abs(predictionError);

    channel.predictionCount[0] += m_quantizer[(predictionError >> 3) & 0xFF];
    channel.predictionCount[1] += m_quantizer[(channel.lastByte - byte) & 0xFF];
    int lastDelta = static_cast<std::int8_t>(byte - channel.lastByte);
    channel.lastByte = byte;

    if ((channel.byteCount & 0x1F) == 0) {
        // Every 32 bytes, nudge the coefficient whose change would have helped most.
        int best = 0xFFFF;
        int bestIndex = 8;
        for (int i = 8; i >= 0; --i) {
            if (channel.error[i] <= best) {
                best = channel.error[i];
                bestIndex = i;
            }
            channel.error[i] = 0;
        }
        if (bestIndex != 8) {
            int& coefficient = channel.coefficient[bestIndex >> 1];
            if ((bestIndex & 1) == 0) {
                if (coefficient >= -16) --coefficient;
            } else {
                if (coefficient <= 16) ++coefficient;
            }
        }
        if ((channel.byteCount & 0xFF) == 0) {
            for (int i = 0; i < 2; ++i) {
                channel.predictionCount[i] -= channel.lastPredictionCount[i];
                channel.lastPredictionCount[i] = channel.predictionCount[i];
            }
        }
    }
    channel.delta[3] = channel.delta[2];
    channel.delta[2] = channel.delta[1];
    channel.delta[1] = lastDelta - channel.delta[0];
    channel.delta[0] = lastDelta;
}

std::size_t SoundDecoder::Decode(BitReader& bits, std::uint8_t* out, std::size_t count, bool& switched,
                                 ModeSwitch& next) {
    switched = false;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned index = kChannelOfByte[m_mode][m_byteIndex % 4];
        Channel& channel = m_channels[index];
        int value = 0;
        if (!NextValue(bits, channel, index, value, next)) {
            switched = true;
            return i;
        }
        int byte = (value + Predict(channel)) & 0xFF;
        out[i] = static_cast<std::uint8_t>(byte);
        Adapt(channel, byte);
        ++m_byteIndex;
    }
    return count;
}

}  // namespace zel::ace

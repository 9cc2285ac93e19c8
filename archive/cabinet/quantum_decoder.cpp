#include "archive/cabinet/quantum_decoder.h"

#include <cstring>

namespace zel::cabinet {
namespace {

// 42 position slots: slot i covers offsets kPositionBase[i] + 1 on, with kPositionExtra[i] extra bits.
constexpr std::uint32_t kPositionBase[42] = {
    0,     1,     2,     3,     4,     6,     8,      12,     16,     24,     32,     48,     64,      96,
    128,   192,   256,   384,   512,   768,   1024,   1536,   2048,   3072,   4096,   6144,   8192,    12288,
    16384, 24576, 32768, 49152, 65536, 98304, 131072, 196608, 262144, 393216, 524288, 786432, 1048576, 1572864};
constexpr std::uint8_t kPositionExtra[42] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,
                                             6,  6,  7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12,
                                             13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19};
// 27 length slots for selector 6: length 5 + kLengthBase[i] + extra bits.
constexpr std::uint8_t kLengthBase[27] = {0,  1,  2,  3,  4,  5,  6,  8,   10,  12,  14,  18,  22, 26,
                                          30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
constexpr std::uint8_t kLengthExtra[27] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                           3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

constexpr std::uint32_t kPositionLimit3 = 4096;
constexpr std::uint32_t kPositionLimit4 = 262144;

// The slots whose start lies below both the window size and `limit`.
int SlotsBelow(std::uint32_t windowSize, std::uint32_t limit) {
    int slots = 0;
    while (slots < 42 && kPositionBase[slots] < windowSize && kPositionBase[slots] < limit) ++slots;
    return slots;
}

}  // namespace

CQuantumDecoder::CQuantumDecoder(int windowBits, const CabMemory& memory) : m_memory(memory) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits) return;
    m_windowBits = windowBits;
    m_windowSize = 1u << windowBits;
    m_window = static_cast<BYTE*>(m_memory.alloc(m_windowSize));
    if (m_window == nullptr) return;
    // Matches never reach before the start of a folder's stream (they are refused), so the window
    // needs no clearing when a new folder starts; it is cleared once so that it never holds
    // whatever the allocator left there.
    std::memset(m_window, 0, m_windowSize);
    Reset();
}

CQuantumDecoder::~CQuantumDecoder() {
    if (m_window != nullptr) m_memory.release(m_window);
}

bool CQuantumDecoder::Reset() {
    if (m_window == nullptr) return false;
    m_windowPos = 0;
    m_totalOut = 0;
    m_selector.Init(0, 7);
    for (int i = 0; i < 4; ++i) m_literals[i].Init(64 * i, 64);
    m_position3.Init(0, SlotsBelow(m_windowSize, kPositionLimit3));
    m_position4.Init(0, SlotsBelow(m_windowSize, kPositionLimit4));
    m_position5.Init(0, SlotsBelow(m_windowSize, ~0u));
    m_length.Init(0, 27);
    return true;
}

int CQuantumDecoder::DecodeSymbol(CQuantumModel& model, Bits& bits) {
    const std::uint32_t total = model.Cumulative(0);
    std::uint32_t range = std::uint32_t((m_high - m_low) & 0xFFFF) + 1;
    std::uint32_t target = ((std::uint32_t((m_code - m_low + 1) & 0xFFFF) * total - 1) / range) & 0xFFFF;
    int i = 1;
    while (i < model.Count() && model.Cumulative(i) > target) ++i;
    const int index = i - 1;
    const int symbol = model.Symbol(index);

    m_high = std::uint16_t(m_low + (model.Cumulative(index) * range) / total - 1);
    m_low = std::uint16_t(m_low + (model.Cumulative(index + 1) * range) / total);
    model.Update(index);

    for (;;) {
        if ((m_low & 0x8000) != (m_high & 0x8000)) {
            if ((m_low & 0x4000) == 0 || (m_high & 0x4000) != 0) break;
            // Underflow: the registers straddle the middle; drop the second bit.
            m_code ^= 0x4000;
            m_low &= 0x3FFF;
            m_high |= 0x4000;
        }
        m_low = std::uint16_t(m_low << 1);
        m_high = std::uint16_t((m_high << 1) | 1);
        m_code = std::uint16_t((m_code << 1) | bits.ReadBit());
    }
    return symbol;
}

inline void CQuantumDecoder::Put(BYTE value, BYTE* out, std::uint32_t& produced) {
    m_window[m_windowPos] = value;
    m_windowPos = (m_windowPos + 1) & (m_windowSize - 1);
    out[produced++] = value;
}

bool CQuantumDecoder::Decompress(const BYTE* in, std::uint32_t inLen, BYTE* out, std::uint32_t outLen) {
    if (m_window == nullptr || outLen > kCabMaxBlockSize) return false;
    Bits bits;
    bits.Init(in, in + inLen);
    m_high = 0xFFFF;
    m_low = 0;
    m_code = std::uint16_t(bits.Read(16));

    std::uint32_t produced = 0;
    while (produced < outLen) {
        const int selector = DecodeSymbol(m_selector, bits);
        if (selector < 4) {
            Put(BYTE(DecodeSymbol(m_literals[selector], bits)), out, produced);
            continue;
        }
        std::uint32_t length;
        int slot;
        if (selector == 4) {
            slot = DecodeSymbol(m_position3, bits);
            length = 3;
        } else if (selector == 5) {
            slot = DecodeSymbol(m_position4, bits);
            length = 4;
        } else {
            int lengthSlot = DecodeSymbol(m_length, bits);
            length = 5 + kLengthBase[lengthSlot] + bits.Read(kLengthExtra[lengthSlot]);
            slot = DecodeSymbol(m_position5, bits);
        }
        const std::uint32_t offset = kPositionBase[slot] + bits.Read(kPositionExtra[slot]) + 1;
        if (length > outLen - produced) return false;
        if (offset > m_totalOut + produced || offset > m_windowSize) return false;
        std::uint32_t src = (m_windowPos - offset) & (m_windowSize - 1);
        for (std::uint32_t k = 0; k < length; ++k) {
            Put(m_window[src], out, produced);
            src = (src + 1) & (m_windowSize - 1);
        }
    }
    m_totalOut += outLen;
    // The coder reads 16 bits ahead, and a frame may end in a few bytes of padding; anything more
    // than that beyond the input means the frame was cut short.
    return bits.Overrun() <= 32;
}

}  // namespace zel::cabinet

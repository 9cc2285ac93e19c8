// A test-only Quantum encoder: the arithmetic coder with 16-bit registers over the same adaptive
// models as the decoder, literals and matches of every kind, and the extra bits of positions and
// lengths placed in the bit stream where the decoder, which reads 16 bits ahead, takes them.
#include <algorithm>

#include "archive/cabinet/quantum_model.h"
#include "tests/cabinet/support/test_encoders.h"

namespace zel::cabinet::test {
namespace {

constexpr std::uint32_t kPositionBase[42] = {
    0,     1,     2,     3,     4,     6,     8,      12,     16,     24,     32,     48,     64,      96,
    128,   192,   256,   384,   512,   768,   1024,   1536,   2048,   3072,   4096,   6144,   8192,    12288,
    16384, 24576, 32768, 49152, 65536, 98304, 131072, 196608, 262144, 393216, 524288, 786432, 1048576, 1572864};
constexpr int kPositionExtra[42] = {0, 0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,
                                    9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19};
constexpr std::uint32_t kLengthBase[27] = {0,  1,  2,  3,  4,  5,  6,  8,   10,  12,  14,  18,  22, 26,
                                           30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254};
constexpr int kLengthExtra[27] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

int SlotsBelow(std::uint32_t window, std::uint32_t limit) {
    int n = 0;
    while (n < 42 && kPositionBase[n] < window && kPositionBase[n] < limit) ++n;
    return n;
}

class CQuantumEncoder final : public CFrameEncoder {
public:
    explicit CQuantumEncoder(const QuantumOptions& o) : m_options(o), m_window(1u << o.windowBits) {
        m_selector.Init(0, 7);
        for (int i = 0; i < 4; ++i) m_literals[i].Init(64 * i, 64);
        m_position3.Init(0, SlotsBelow(m_window, 4096));
        m_position4.Init(0, SlotsBelow(m_window, 262144));
        m_position5.Init(0, SlotsBelow(m_window, ~0u));
        m_length.Init(0, 27);
    }

    Bytes EncodeFrame(const Bytes& data, std::size_t start, std::size_t length) override {
        if (!m_finder) m_finder = std::make_unique<CMatchFinder>(data, m_window, m_options.maxChain);
        m_high = 0xFFFF;
        m_low = 0;
        m_pending = 0;
        m_shifts = 0;
        m_bits.clear();
        m_raw.clear();

        std::size_t pos = start;
        const std::size_t end = start + length;
        while (pos < end) {
            std::uint32_t distance = 0;
            std::uint32_t maxLen = std::uint32_t(std::min<std::size_t>(259, end - pos));
            std::uint32_t len = m_finder->Find(pos, maxLen, 3, &distance);
            if (len == 3 && distance > 4096) len = 0;
            if (len == 4 && distance > 262144) len = 0;
            if (len == 0) {
                std::uint8_t byte = data[pos];
                Encode(m_selector, byte >> 6);
                Encode(m_literals[byte >> 6], byte);
                pos += 1;
                continue;
            }
            if (len == 3 || len == 4) {
                Encode(m_selector, len == 3 ? 4 : 5);
                EncodePosition(len == 3 ? m_position3 : m_position4, distance);
            } else {
                Encode(m_selector, 6);
                int slot = 26;
                while (kLengthBase[slot] > len - 5) --slot;
                Encode(m_length, slot);
                Raw(len - 5 - kLengthBase[slot], kLengthExtra[slot]);
                EncodePosition(m_position5, distance);
            }
            pos += len;
        }
        return Finish();
    }

private:
    void EncodePosition(CQuantumModel& model, std::uint32_t distance) {
        int slot = 0;
        while (slot + 1 < model.Count() && kPositionBase[slot + 1] <= distance - 1) ++slot;
        Encode(model, slot);
        Raw(distance - 1 - kPositionBase[slot], kPositionExtra[slot]);
    }

    void Encode(CQuantumModel& model, int symbol) {
        int index = 0;
        while (model.Symbol(index) != symbol) ++index;
        const std::uint32_t total = model.Cumulative(0);
        const std::uint32_t range = std::uint32_t(m_high - m_low) + 1;
        m_high = std::uint16_t(m_low + (model.Cumulative(index) * range) / total - 1);
        m_low = std::uint16_t(m_low + (model.Cumulative(index + 1) * range) / total);
        model.Update(index);
        for (;;) {
            if ((m_low & 0x8000) == (m_high & 0x8000)) {
                Emit(m_high >> 15);
            } else if ((m_low & 0x4000) && !(m_high & 0x4000)) {
                ++m_pending;
                m_low &= 0x3FFF;
                m_high |= 0x4000;
            } else {
                break;
            }
            m_low = std::uint16_t(m_low << 1);
            m_high = std::uint16_t((m_high << 1) | 1);
            ++m_shifts;
        }
    }

    void Emit(int bit) {
        m_bits.push_back(std::uint8_t(bit));
        for (; m_pending > 0; --m_pending) m_bits.push_back(std::uint8_t(!bit));
    }

    // Extra bits go where the decoder reads them: after the 16 bits it loaded first and the bits
    // it has shifted in so far.
    void Raw(std::uint32_t value, int count) {
        if (count > 0) m_raw.push_back({16 + m_shifts, value, count});
    }

    Bytes Finish() {
        // Two more bits (and the pending ones) settle the final interval.
        ++m_pending;
        Emit((m_low & 0x4000) ? 1 : 0);
        std::size_t needed = 16 + m_shifts + 16;
        if (m_bits.size() < needed) m_bits.resize(needed, 0);
        std::vector<std::uint8_t> stream;
        std::size_t next = 0;
        for (std::size_t i = 0; i <= m_bits.size(); ++i) {
            while (next < m_raw.size() && m_raw[next].at == i) {
                for (int k = m_raw[next].count - 1; k >= 0; --k) stream.push_back((m_raw[next].value >> k) & 1);
                ++next;
            }
            if (i < m_bits.size()) stream.push_back(m_bits[i]);
        }
        Bytes out((stream.size() + 7) / 8 + 2, 0);
        for (std::size_t i = 0; i < stream.size(); ++i) out[i / 8] |= std::uint8_t(stream[i] << (7 - i % 8));
        return out;
    }

    struct RawBits {
        std::size_t at;
        std::uint32_t value;
        int count;
    };

    QuantumOptions m_options;
    std::uint32_t m_window;
    std::unique_ptr<CMatchFinder> m_finder;
    CQuantumModel m_selector, m_literals[4], m_position3, m_position4, m_position5, m_length;
    std::uint16_t m_high = 0xFFFF, m_low = 0;
    int m_pending = 0;
    std::size_t m_shifts = 0;
    std::vector<std::uint8_t> m_bits;
    std::vector<RawBits> m_raw;
};

}  // namespace

std::unique_ptr<CFrameEncoder> MakeQuantumEncoder(const QuantumOptions& options) {
    return std::make_unique<CQuantumEncoder>(options);
}

}  // namespace zel::cabinet::test

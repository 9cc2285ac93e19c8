// An adaptive frequency model of the Quantum method: symbols kept with cumulative frequencies,
// most frequent first after a re-ordering rescale.
#pragma once

#include <cstdint>

namespace zel::cabinet {

class CQuantumModel {
public:
    static constexpr int kMaxSymbols = 64;
    static constexpr std::uint32_t kIncrement = 8;
    static constexpr std::uint32_t kRescaleLimit = 3800;

    // Symbols first .. first + count - 1, each with frequency 1, in symbol order.
    void Init(int first, int count);

    int Count() const { return m_count; }
    // m_cum[i] is the total frequency of the entries i..count-1; m_cum[count] is 0.
    std::uint32_t Cumulative(int i) const { return m_cum[i]; }
    int Symbol(int i) const { return m_symbol[i]; }

    // Records that entry `index` was decoded: it and every earlier entry gain kIncrement, and the
    // model is rescaled when its total passes kRescaleLimit.
    void Update(int index);

private:
    void Rescale();

    int m_count = 0;
    int m_rescalesUntilSort = 4;  // the 4th rescale, then every 50th, re-orders the symbols
    std::uint16_t m_symbol[kMaxSymbols + 1] = {};
    std::uint32_t m_cum[kMaxSymbols + 1] = {};
};

}  // namespace zel::cabinet

// The position slots of LZX: slot i covers the match offsets from kLzxPositionBase[i] on, with
// kLzxExtraBits[i] extra bits to choose within it (0,0,0,0,1,1,2,2,... up to 17).
#pragma once

#include <array>
#include <cstdint>

namespace zel::cabinet {

inline constexpr int kLzxSlotTableSize = 51;

constexpr std::array<std::uint8_t, kLzxSlotTableSize> MakeLzxExtraBits() {
    std::array<std::uint8_t, kLzxSlotTableSize> extra{};
    for (int i = 0; i < kLzxSlotTableSize; ++i) {
        int bits = i < 4 ? 0 : (i - 2) / 2;
        extra[i] = std::uint8_t(bits > 17 ? 17 : bits);
    }
    return extra;
}

constexpr std::array<std::uint32_t, kLzxSlotTableSize> MakeLzxPositionBase() {
    auto extra = MakeLzxExtraBits();
    std::array<std::uint32_t, kLzxSlotTableSize> base{};
    for (int i = 1; i < kLzxSlotTableSize; ++i) base[i] = base[i - 1] + (1u << extra[i - 1]);
    return base;
}

inline constexpr auto kLzxExtraBits = MakeLzxExtraBits();
inline constexpr auto kLzxPositionBase = MakeLzxPositionBase();

}  // namespace zel::cabinet

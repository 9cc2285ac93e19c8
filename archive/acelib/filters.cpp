#include "archive/acelib/filters.h"

#include "framework/little_endian.h"

namespace zel::ace {
namespace {

constexpr std::uint8_t kCall = 0xE8;
constexpr std::uint8_t kJump = 0xE9;

// The operand lies before `end`, which the caller checked.
void Subtract16(std::uint8_t* operand, const std::uint8_t* end, std::uint64_t position) {
    unsigned value = LoadLe16(operand, end);
    value = (value - static_cast<unsigned>(position)) & 0xFFFF;
    operand[0] = static_cast<std::uint8_t>(value);
    operand[1] = static_cast<std::uint8_t>(value >> 8);
}

void Subtract32(std::uint8_t* operand, const std::uint8_t* end, std::uint64_t position) {
    std::uint32_t value = LoadLe32(operand, end);
    value -= static_cast<std::uint32_t>(position);
    for (int i = 0; i < 4; ++i) operand[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::size_t UndoExeFilter(std::uint8_t* data, std::size_t size, std::uint64_t basePosition, unsigned exeMode) {
    std::size_t i = 0;
    while (i + 4 < size) {
        if (data[i] == kCall) {
            if (exeMode == 0) {
                Subtract16(data + i + 1, data + size, basePosition + i);
                i += 3;
            } else {
                Subtract32(data + i + 1, data + size, basePosition + i);
                i += 5;
            }
        } else if (data[i] == kJump) {
            Subtract16(data + i + 1, data + size, basePosition + i);
            i += 3;
        } else {
            ++i;
        }
    }
    return i;
}

std::size_t ExeHoldBackStart(const std::uint8_t* data, std::size_t size, std::size_t scanned) {
    for (std::size_t i = scanned + 1; i < size; ++i) {
        if (data[i] == kCall || data[i] == kJump) return i;
    }
    return size;
}

void UndoDeltaFilter(std::vector<std::uint8_t>& block, unsigned distance, std::uint8_t& sum,
                     std::vector<std::uint8_t>& out) {
    for (auto& byte : block) {
        byte = static_cast<std::uint8_t>(byte + sum);
        sum = byte;
    }
    const std::size_t planeSize = block.size() / distance;
    out.resize(block.size());
    std::size_t k = 0;
    for (std::size_t position = 0; position < planeSize; ++position) {
        for (std::size_t plane = 0; plane < distance; ++plane) {
            out[k++] = block[plane * planeSize + position];
        }
    }
}

}  // namespace zel::ace

// Deterministic test data with the features decoders care about: repeats near and far, runs,
// incompressible stretches and 0xE8 bytes followed by plausible call operands.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "tests/cabinet/support/test_encoders.h"

namespace zel::cabinet::test {

inline Bytes MakeTestData(std::size_t size, std::uint32_t seed, std::size_t farDistance = 1 << 16) {
    std::mt19937 rng(seed);
    Bytes out;
    out.reserve(size);
    static const char* words[] = {"cabinet ", "folder ",  "block ", "the ",    "window ", "Huffman ",
                                  "match ",   "literal ", "\r\n",   "offset ", "frame "};
    while (out.size() < size) {
        switch (rng() % 6) {
            case 0: {  // words
                for (int i = 0; i < 20; ++i) {
                    const char* w = words[rng() % 11];
                    out.insert(out.end(), w, w + std::char_traits<char>::length(w));
                }
                break;
            }
            case 1: {  // a repeat from far back
                if (out.size() > 300) {
                    std::size_t span = std::min(out.size() - 1, farDistance);
                    std::size_t from = out.size() - 1 - rng() % span;
                    std::size_t len = 3 + rng() % 280;
                    for (std::size_t i = 0; i < len && from + i < out.size(); ++i) out.push_back(out[from + i]);
                }
                break;
            }
            case 2: {  // random bytes
                for (int i = 0, n = int(rng() % 200); i < n; ++i) out.push_back(std::uint8_t(rng()));
                break;
            }
            case 3: {  // a run
                std::uint8_t b = std::uint8_t(rng());
                out.insert(out.end(), 4 + rng() % 300, b);
                break;
            }
            case 4: {  // calls: E8 and a small relative operand
                for (int i = 0; i < 16; ++i) {
                    out.push_back(0xE8);
                    std::int32_t rel = std::int32_t(rng() % 200000) - 100000;
                    for (int k = 0; k < 4; ++k) out.push_back(std::uint8_t(std::uint32_t(rel) >> (8 * k)));
                    out.push_back(std::uint8_t(rng() % 8));
                }
                break;
            }
            default: {  // a short repeat
                if (out.size() > 8) {
                    std::size_t from = out.size() - 1 - rng() % std::min<std::size_t>(out.size() - 1, 64);
                    for (std::size_t i = 0, n = 3 + rng() % 20; i < n; ++i) out.push_back(out[from + i]);
                }
                break;
            }
        }
    }
    out.resize(size);
    return out;
}

}  // namespace zel::cabinet::test

// ACE 2.0 PIC mode: image rows predicted from the row above and the pixel to the left, with 365
// error contexts (quantised neighbour differences) in two models, each context choosing among
// four predictors by their past errors. Errors are Golomb-Rice coded. Entering the mode reads the
// row width in bytes and the number of interleaved planes (colour channels); planes after the
// first may be coded as differences to the plane before.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/acelib/bit_reader.h"
#include "archive/acelib/lz77.h"

namespace zel::ace {

class PicDecoder {
public:
    static constexpr unsigned kContexts = 365;
    // Rows longer than this are not images any compressor writes; refusing them bounds memory.
    static constexpr std::uint64_t kMaxWidth = 1u << 22;
    static constexpr std::uint64_t kMaxPlanes = 256;

    PicDecoder();

    // Entering PIC from another mode: reads width and planes, every model starts afresh.
    void Begin(BitReader& bits);

    // Decodes up to `count` bytes into `out`, row by row; a row that does not fit is kept for
    // the next call. Stops early at a mode switch (`switched`, `next`). Returns bytes written.
    std::size_t Decode(BitReader& bits, std::uint8_t* out, std::size_t count, bool& switched,
                       ModeSwitch& next);

private:
    struct Context {
        int usedCount = 0;
        int predictor = 0;
        std::int64_t averageError = 4;
        int errorCount[4] = {0, 0, 0, 0};
    };

    void DecodeRow(BitReader& bits);
    void SetPixels(int predictor, int value, int previous);
    int Predict(int predictor) const;
    int ContextOf(int predictor, int value, int previous);
    int DecodePixel(BitReader& bits, Context& context);
    static std::int64_t ReadRice(BitReader& bits, unsigned remainderBits);

    std::array<std::uint8_t, 256> m_errorWidth{};
    std::array<int, 511> m_quantizer{};
    std::array<int, 511> m_quantizer9{};
    std::array<int, 511> m_quantizer81{};

    std::size_t m_width = 0;
    std::size_t m_planes = 0;
    std::vector<std::uint8_t> m_lastRow;
    std::vector<std::uint8_t> m_row;
    std::size_t m_rowOffset = 0;  // bytes of m_row already handed out
    std::size_t m_rowEnd = 0;
    std::vector<Context> m_models[2];
    int m_a = 0, m_b = 0, m_c = 0, m_d = 0, m_x = 0;
};

}  // namespace zel::ace

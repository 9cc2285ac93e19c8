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

// The modelling half of PIC: contexts, predictors and their statistics. The decoder feeds it the
// errors it reads; an encoder (the tests have one) feeds it the errors it computes.
class PicModel {
public:
    static constexpr unsigned kContexts = 365;

    PicModel();
    void Reset();

    // Starts a plane of a row with the given plane predictor (0 none, 1 difference to the plane
    // before, 2 scaled difference) and the row above's values at the plane and before it.
    void StartPlane(int planePredictor, int above, int abovePrevious);
    // Moves to the next pixel of the plane; returns its context.
    int NextContext(int planePredictor, int above, int aboveLeft);
    // Counts a use of the context and returns the remainder width of its Rice code.
    unsigned BeginPixel(int model, int context);
    // The value the context predicts for the coded pixel.
    int Predicted(int model, int context) const;
    // Records the pixel made of the prediction and `error`; returns it.
    int FinishPixel(int model, int context, std::int64_t error);
    // The output byte for the coded pixel, given the byte of the plane before (`left`).
    int Produce(int planePredictor, int left) const;
    // What a plane predictor takes from the plane before: coded = value - offset.
    static int PlaneOffset(int planePredictor, int previous);

private:
    struct Context {
        int usedCount = 0;
        int predictor = 0;
        std::int64_t averageError = 4;
        int errorCount[4] = {0, 0, 0, 0};
    };
    int Predict(int predictor) const;

    std::array<std::uint8_t, 256> m_errorWidth{};
    std::array<int, 511> m_quantizer{};
    std::vector<Context> m_models[2];
    int m_a = 0, m_b = 0, m_c = 0, m_d = 0, m_x = 0;
};

class PicDecoder {
public:
    // Rows longer than this are not images any compressor writes; refusing them bounds memory.
    static constexpr std::uint64_t kMaxWidth = 1u << 22;
    static constexpr std::uint64_t kMaxPlanes = 256;

    // Entering PIC from another mode: reads width and planes, every model starts afresh.
    void Begin(BitReader& bits);

    // Decodes up to `count` bytes into `out`, row by row; a row that does not fit is kept for
    // the next call. Stops early at a mode switch (`switched`, `next`). Returns bytes written.
    std::size_t Decode(BitReader& bits, std::uint8_t* out, std::size_t count, bool& switched, ModeSwitch& next);

    // Reads a Golomb-Rice value: `remainderBits` bits, then a unary quotient.
    static std::int64_t ReadRice(BitReader& bits, unsigned remainderBits);

private:
    void DecodeRow(BitReader& bits);

    PicModel m_model;
    std::size_t m_width = 0;
    std::size_t m_planes = 0;
    std::vector<std::uint8_t> m_lastRow;
    std::vector<std::uint8_t> m_row;
    std::size_t m_rowOffset = 0;  // bytes of m_row already handed out
    std::size_t m_rowEnd = 0;
};

}  // namespace zel::ace

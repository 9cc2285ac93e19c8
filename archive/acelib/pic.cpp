#include "archive/acelib/pic.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "archive/acelib/ace_error.h"

namespace zel::ace {
namespace {

constexpr int kRescaleCount = 128;  // contexts halve their statistics after this many pixels
constexpr int kStep1 = 3, kStep2 = 7, kStep3 = 21;
// A Golomb-Rice quotient this large is not an image error value but corrupt data.
constexpr std::int64_t kMaxRiceValue = std::int64_t{1} << 40;

int Quantize(int difference) {
    if (difference <= -kStep3) return -4;
    if (difference <= -kStep2) return -3;
    if (difference <= -kStep1) return -2;
    if (difference <= -1) return -1;
    if (difference == 0) return 0;
    if (difference < kStep1) return 1;
    if (difference < kStep2) return 2;
    if (difference < kStep3) return 3;
    return 4;
}

}  // namespace

PicModel::PicModel() {
    for (int i = 0; i < 128; ++i) m_errorWidth[i] = static_cast<std::uint8_t>(std::bit_width(2u * i));
    for (int i = -128; i < 0; ++i) {
        m_errorWidth[256 + i] = static_cast<std::uint8_t>(std::bit_width(static_cast<unsigned>(-2 * i - 1)));
    }
    for (int i = -255; i <= 255; ++i) m_quantizer[255 + i] = Quantize(i);
    Reset();
}

void PicModel::Reset() {
    for (auto& model : m_models) model.assign(kContexts, Context{});
    m_a = m_b = m_c = m_d = m_x = 0;
}

// The scaled predictor works on the plane before as a signed byte.
int PicModel::PlaneOffset(int planePredictor, int previous) {
    if (planePredictor == 1) return previous - 128;
    if (planePredictor == 2) return ((static_cast<std::int8_t>(previous & 0xFF) * 11) >> 4) - 128;
    return 0;
}

void PicModel::StartPlane(int planePredictor, int above, int abovePrevious) {
    m_d = above;
    if (planePredictor == 1 || planePredictor == 2) {
        m_a = m_b = m_c = m_x = 128;
        m_d -= PlaneOffset(planePredictor, abovePrevious);
        m_d &= 0xFF;
    } else {
        m_a = m_b = m_c = m_x = 0;
    }
}

int PicModel::NextContext(int planePredictor, int above, int aboveLeft) {
    m_c = m_a;
    m_a = m_d;
    m_b = m_x;
    m_d = (above - PlaneOffset(planePredictor, aboveLeft)) & 0xFF;
    int context = 81 * m_quantizer[255 + m_d - m_a] + 9 * m_quantizer[255 + m_a - m_c] + m_quantizer[255 + m_c - m_b];
    return std::abs(context);
}

int PicModel::Predict(int predictor) const {
    switch (predictor) {
        case 0: return m_a;
        case 1: return m_b;
        case 2: return (m_a + m_b) >> 1;
        default: return (m_a + m_b - m_c) & 0xFF;
    }
}

unsigned PicModel::BeginPixel(int model, int context) {
    Context& state = m_models[model][static_cast<std::size_t>(context)];
    ++state.usedCount;
    std::int64_t ratio = state.averageError / state.usedCount;
    return static_cast<unsigned>(std::bit_width(static_cast<std::uint64_t>(ratio)));
}

int PicModel::Predicted(int model, int context) const {
    return Predict(m_models[model][static_cast<std::size_t>(context)].predictor);
}

int PicModel::FinishPixel(int model, int context, std::int64_t error) {
    Context& state = m_models[model][static_cast<std::size_t>(context)];
    int pixel = static_cast<int>((Predict(state.predictor) + error) & 0xFF);
    int best = 0;
    for (int i = 0; i < 4; ++i) {
        state.errorCount[i] += m_errorWidth[(pixel - Predict(i)) & 0xFF];
        if (i == 0 || state.errorCount[i] < state.errorCount[best]) best = i;
    }
    if (std::any_of(std::begin(state.errorCount), std::end(state.errorCount),
                    [](int count) { return (count & 0x80) != 0; })) {
        for (int& count : state.errorCount) count >>= 1;
    }
    state.predictor = best;
    state.averageError += error < 0 ? -error : error;
    if (state.usedCount == kRescaleCount) {
        state.usedCount >>= 1;
        state.averageError >>= 1;
    }
    m_x = pixel;
    return pixel;
}

int PicModel::Produce(int planePredictor, int left) const { return (m_x + PlaneOffset(planePredictor, left)) & 0xFF; }

std::int64_t PicDecoder::ReadRice(BitReader& bits, unsigned remainderBits) {
    if (remainderBits > 32) ThrowData("PIC error value too wide");
    std::int64_t value = bits.Read(remainderBits);
    while (bits.Read(1) == 1) {
        value += std::int64_t{1} << remainderBits;
        if (value > kMaxRiceValue) ThrowData("PIC error value too large");
    }
    return value;
}

void PicDecoder::Begin(BitReader& bits) {
    std::int64_t width = ReadRice(bits, 12);
    std::int64_t planes = ReadRice(bits, 2);
    if (width <= 0 || static_cast<std::uint64_t>(width) > kMaxWidth ||
        static_cast<std::uint64_t>(planes) > kMaxPlanes) {
        ThrowData("PIC dimensions out of range");
    }
    m_width = static_cast<std::size_t>(width);
    m_planes = static_cast<std::size_t>(planes);
    m_lastRow.assign(m_width + m_planes, 0);
    m_row.assign(m_width + m_planes, 0);
    m_rowOffset = m_rowEnd = 0;
    m_model.Reset();
}

void PicDecoder::DecodeRow(BitReader& bits) {
    std::fill(m_row.begin(), m_row.end(), 0);
    const std::size_t size = m_row.size();
    for (std::size_t plane = 0; plane < m_planes; ++plane) {
        int model = plane == 0 ? 0 : 1;
        int predictor = plane == 0 ? 0 : static_cast<int>(bits.Read(2));
        if (predictor == 3) ThrowData("invalid PIC plane predictor");
        // Index -1 wraps to the last byte of the row buffer, which no row ever writes.
        m_model.StartPlane(predictor, m_lastRow[plane], m_lastRow[(plane + size - 1) % size]);
        for (std::size_t column = plane; column < m_width; column += m_planes) {
            int context =
                m_model.NextContext(predictor, m_lastRow[m_planes + column], m_lastRow[m_planes + column - 1]);
            unsigned width = m_model.BeginPixel(model, context);
            std::int64_t rice = ReadRice(bits, width);
            m_model.FinishPixel(model, context, (rice & 1) ? -(rice >> 1) - 1 : rice >> 1);
            m_row[column] = static_cast<std::uint8_t>(m_model.Produce(predictor, m_row[(column + size - 1) % size]));
        }
    }
    m_lastRow = m_row;
    m_rowOffset = 0;
    m_rowEnd = m_width;
}

std::size_t PicDecoder::Decode(BitReader& bits, std::uint8_t* out, std::size_t count, bool& switched,
                               ModeSwitch& next) {
    switched = false;
    std::size_t written = 0;
    while (written < count) {
        if (m_rowOffset == m_rowEnd) {
            if (bits.Read(1) == 0) {
                next = ReadModeSwitch(bits);
                switched = true;
                break;
            }
            DecodeRow(bits);
        }
        std::size_t piece = std::min(count - written, m_rowEnd - m_rowOffset);
        std::copy_n(m_row.begin() + static_cast<std::ptrdiff_t>(m_rowOffset), piece, out + written);
        m_rowOffset += piece;
        written += piece;
    }
    return written;
}

}  // namespace zel::ace

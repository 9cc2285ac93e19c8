#include "archive/cabinet/quantum_model.h"

#include <utility>

namespace zel::cabinet {

void CQuantumModel::Init(int first, int count) {
    m_count = count;
    m_rescalesUntilSort = 4;
    for (int i = 0; i <= count; ++i) {
        m_symbol[i] = std::uint16_t(first + i);
        m_cum[i] = std::uint32_t(count - i);
    }
}

void CQuantumModel::Update(int index) {
    for (int i = index; i >= 0; --i) m_cum[i] += kIncrement;
    if (m_cum[0] > kRescaleLimit) Rescale();
}

void CQuantumModel::Rescale() {
    if (--m_rescalesUntilSort != 0) {
        // Halve the cumulative values from the last entry up, keeping each above its successor.
        for (int i = m_count - 1; i >= 0; --i) {
            m_cum[i] >>= 1;
            if (m_cum[i] <= m_cum[i + 1]) m_cum[i] = m_cum[i + 1] + 1;
        }
        return;
    }
    m_rescalesUntilSort = 50;
    // Halve the individual frequencies (rounding up), order the entries by falling frequency with
    // an exchange sort that moves a later entry forward only when it is strictly more frequent,
    // then rebuild the cumulative values.
    for (int i = 0; i < m_count; ++i) m_cum[i] = (m_cum[i] - m_cum[i + 1] + 1) >> 1;
    for (int i = 0; i < m_count - 1; ++i) {
        for (int j = i + 1; j < m_count; ++j) {
            if (m_cum[i] < m_cum[j]) {
                std::swap(m_cum[i], m_cum[j]);
                std::swap(m_symbol[i], m_symbol[j]);
            }
        }
    }
    for (int i = m_count - 1; i >= 0; --i) m_cum[i] += m_cum[i + 1];
}

}  // namespace zel::cabinet

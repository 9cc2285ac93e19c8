#include "archive/acelib/bit_reader.h"

#include <cstring>

#include "archive/acelib/ace_error.h"
#include "framework/little_endian.h"

namespace zel::ace {

std::size_t MemorySource::Read(std::uint8_t* buffer, std::size_t size) {
    std::size_t count = std::min(size, m_size - m_offset);
    if (count > 0) std::memcpy(buffer, m_data + m_offset, count);
    m_offset += count;
    return count;
}

bool BitReader::NextWord(std::uint32_t& word) {
    if (m_end - m_offset < 4 && !m_sourceDone) {
        std::size_t left = m_end - m_offset;
        std::memmove(m_buffer.data(), m_buffer.data() + m_offset, left);
        m_offset = 0;
        m_end = left;
        while (m_end < m_buffer.size()) {
            std::size_t got = m_source.Read(m_buffer.data() + m_end, m_buffer.size() - m_end);
            if (got == 0) {
                m_sourceDone = true;
                break;
            }
            m_end += got;
        }
    }
    std::size_t left = m_end - m_offset;
    if (left == 0) return false;
    // A last partial word is padded with zeros.
    word = LoadLe32(m_buffer.data() + m_offset, m_buffer.data() + m_end);
    m_offset += left < 4 ? left : 4;
    return true;
}

void BitReader::Refill(unsigned needed) {
    while (m_count <= 32) {
        std::uint32_t word = 0;
        if (m_end - m_offset >= 4) {
            word = LoadLe32(m_buffer.data() + m_offset, m_buffer.data() + m_end);
            m_offset += 4;
        } else if (!NextWord(word)) {
            if (m_zeroWordsLeft == 0) {
                if (m_count >= needed) return;
                ThrowData("compressed data ends too early");
            }
            --m_zeroWordsLeft;
        }
        m_bits |= static_cast<std::uint64_t>(word) << (32 - m_count);
        m_count += 32;
    }
}

}  // namespace zel::ace

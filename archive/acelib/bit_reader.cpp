#include "archive/acelib/bit_reader.h"

#include <cstring>

#include "archive/acelib/ace_error.h"

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
    std::uint8_t bytes[4] = {0, 0, 0, 0};  // a last partial word is padded with zeros
    std::memcpy(bytes, m_buffer.data() + m_offset, left < 4 ? left : 4);
    m_offset += left < 4 ? left : 4;
    word = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return true;
}

void BitReader::Refill(unsigned needed) {
    while (m_count <= 32) {
        std::uint32_t word = 0;
        if (m_end - m_offset >= 4) {
            const std::uint8_t* p = m_buffer.data() + m_offset;
            word = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
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

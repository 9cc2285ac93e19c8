#include "archive/arj/arj_input.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/reader_support.h"
#include "framework/little_endian.h"

namespace zel::arj {

using arcopen::ThrowFailure;

bool ArchiveInput::Open(const std::string& path) {
    Close();
    if (!m_buffer) {
        m_buffer.reset(new (std::nothrow) std::uint8_t[kBufferSize]);
        if (!m_buffer) return false;
    }
    if (!m_file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) return false;
    try {
        m_length = m_file.GetLength();
    } catch (const CFileException&) {
        Close();
        return false;
    }
    return true;
}

void ArchiveInput::Close() {
    try {
        m_file.Close();
    } catch (const CFileException&) {
        // A read-only file loses nothing when its close fails.
    }
    m_length = m_position = m_bufferStart = 0;
    m_bufferSize = 0;
}

void ArchiveInput::Seek(std::uint64_t position) { m_position = position; }

bool ArchiveInput::Fill() {
    if (m_position >= m_length) return false;
    try {
        m_file.Seek(static_cast<std::int64_t>(m_position), CFile::begin);
        m_bufferSize = m_file.Read(m_buffer.get(), static_cast<UINT>(kBufferSize));
    } catch (const CFileException&) {
        ThrowFailure();
    }
    m_bufferStart = m_position;
    return m_bufferSize > 0;
}

std::size_t ArchiveInput::Read(std::uint8_t* buffer, std::size_t size) {
    if (!IsOpen()) ThrowFailure();
    std::size_t done = 0;
    while (done < size) {
        if (m_position < m_bufferStart || m_position >= m_bufferStart + m_bufferSize) {
            if (!Fill()) break;
        }
        std::size_t offset = static_cast<std::size_t>(m_position - m_bufferStart);
        std::size_t count = std::min(size - done, m_bufferSize - offset);
        std::memcpy(buffer + done, m_buffer.get() + offset, count);
        done += count;
        m_position += count;
    }
    return done;
}

void ArchiveInput::ReadExact(std::uint8_t* buffer, std::size_t size) {
    if (Read(buffer, size) != size) ThrowFailure();
}

std::uint16_t ArchiveInput::ReadWord() {
    std::uint8_t bytes[2];
    ReadExact(bytes, sizeof bytes);
    return LoadLe16(bytes, bytes + sizeof bytes);
}

std::uint32_t ArchiveInput::ReadDword() {
    std::uint8_t bytes[4];
    ReadExact(bytes, sizeof bytes);
    return LoadLe32(bytes, bytes + sizeof bytes);
}

std::size_t EntryDataSource::Read(std::uint8_t* buffer, std::size_t max) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(max, m_left));
    std::size_t got = m_input.Read(buffer, want);
    m_left -= got;
    return got;
}

}  // namespace zel::arj

#include "fileio/mem_file.h"

#include <algorithm>
#include <cstring>

UINT CMemFile::Read(void* buffer, UINT count) {
    if (count == 0) return 0;
    if (m_position >= m_data.size()) return 0;
    auto take = static_cast<UINT>(std::min<std::uint64_t>(count, m_data.size() - m_position));
    std::memcpy(buffer, m_data.data() + m_position, take);
    m_position += take;
    return take;
}

void CMemFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    if (m_position + count > m_data.size()) m_data.resize(m_position + count);
    std::memcpy(m_data.data() + m_position, buffer, count);
    m_position += count;
}

std::uint64_t CMemFile::Seek(std::int64_t offset, SeekPosition from) {
    std::int64_t base = from == begin     ? 0
                        : from == current ? static_cast<std::int64_t>(m_position)
                                          : static_cast<std::int64_t>(m_data.size());
    if (base + offset < 0) throw CFileException(CFileException::badSeek, 0, "seek before start");
    m_position = static_cast<std::uint64_t>(base + offset);
    return m_position;
}

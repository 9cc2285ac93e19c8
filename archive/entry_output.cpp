#include "archive/entry_output.h"

#include <algorithm>
#include <limits>

#include "archive/reader_support.h"
#include "platform/files.h"

namespace zel::arcopen {

CEntryOutput::CEntryOutput(const std::string& destination, std::uint64_t limit)
    : m_destination(destination), m_limit(limit) {
    platform::EntryKind kind = platform::KindOf(destination);
    if (kind != platform::EntryKind::file && kind != platform::EntryKind::missing) ThrowFailure();
    m_temp = platform::CreateNewFileBeside(destination);
    if (m_temp.empty()) ThrowFailure();
    if (!m_file.Open(m_temp, CFile::modeCreate | CFile::modeWrite)) {
        platform::RemoveFileQuietly(m_temp);
        ThrowFailure();
    }
}

CEntryOutput::~CEntryOutput() {
    if (m_temp.empty()) return;
    try {
        m_file.Close();
    } catch (const CFileException&) {
        // The file is removed next; what it held does not matter.
    }
    platform::RemoveFileQuietly(m_temp);
}

std::uint64_t CEntryOutput::Room() const {
    if (m_limit == 0) return std::numeric_limits<std::uint64_t>::max();
    return m_limit - m_written;
}

bool CEntryOutput::Write(const void* data, std::size_t size) {
    std::uint64_t room = Room();
    if (size > room) {
        m_truncated = true;
        size = static_cast<std::size_t>(room);
    }
    const auto* bytes = static_cast<const char*>(data);
    try {
        while (size > 0) {
            auto piece = static_cast<UINT>(std::min<std::size_t>(size, 1u << 30));
            m_file.Write(bytes, piece);
            bytes += piece;
            size -= piece;
            m_written += piece;
        }
    } catch (const CFileException&) {
        ThrowFailure();
    }
    return !m_truncated;
}

void CEntryOutput::Commit() {
    try {
        m_file.Close();
    } catch (const CFileException&) {
        ThrowFailure();
    }
    std::string temp = std::move(m_temp);
    m_temp.clear();
    if (!platform::RenameOverRegularFile(temp, m_destination)) ThrowFailure();
}

void MakeEntryDirectory(const std::string& destination) {
    if (!platform::MakeFolders(DirectoryPath(destination))) ThrowFailure();
}

}  // namespace zel::arcopen

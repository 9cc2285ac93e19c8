// CMemFile: a CFile over a byte vector in memory, for tests and for parsing data already read.
#pragma once

#include <vector>

#include "fileio/file.h"

class CMemFile : public CFile {
public:
    CMemFile() = default;
    explicit CMemFile(std::vector<BYTE> data) : m_data(std::move(data)) {}

    bool Open(const CString&, unsigned, CFileException* = nullptr) override { return true; }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    std::uint64_t Seek(std::int64_t offset, SeekPosition from) override;
    std::uint64_t GetPosition() const override { return m_position; }
    std::uint64_t GetLength() const override { return m_data.size(); }
    void Flush() override {}
    void Close() override {}

    const std::vector<BYTE>& Data() const { return m_data; }

private:
    std::vector<BYTE> m_data;
    std::uint64_t m_position = 0;
};

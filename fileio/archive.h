// CArchive: the framework's serialising archive over a CFile, buffered, little-endian.
//
// Strings are stored with a length prefix of 1, 3 or 7 bytes (see docs/formats/database.md);
// the 16-bit-character form announced by 0xFF 0xFFFE is read and converted to Windows-1252.
#pragma once

#include <cstdint>
#include <vector>

#include "fileio/file.h"
#include "framework/exceptions.h"
#include "framework/framework_types.h"

class CArchive {
public:
    enum Mode { store = 0, load = 1 };

    // The size of the read and write buffer unless the caller asks for another.
    static constexpr UINT kDefaultBufferSize = 4096;

    CArchive(CFile* file, Mode mode, UINT buffer_size = kDefaultBufferSize);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
    // Does not flush: a storing archive must be closed with Close() to write its last bytes.
    ~CArchive() = default;

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }
    CFile* GetFile() const { return m_file; }

    // Reads up to `count` bytes; fewer only at the end of the file.
    UINT Read(void* buffer, UINT count);
    // Reads exactly `count` bytes or throws CArchiveException(endOfFile).
    void ReadExact(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);
    // Writes the buffered bytes to the file (storing) or drops them (loading).
    void Flush();
    // Flushes a storing archive and detaches from the file, which stays open.
    void Close();

    // Bytes that a loading archive can still deliver: its buffer plus the rest of the file.
    // Readers compare counts and lengths against it before trusting them.
    std::uint64_t GetRemaining() const;

    CArchive& operator<<(BYTE value);
    CArchive& operator<<(WORD value);
    CArchive& operator<<(DWORD value);
    CArchive& operator<<(const CString& text);
    CArchive& operator>>(BYTE& value);
    CArchive& operator>>(WORD& value);
    CArchive& operator>>(DWORD& value);
    CArchive& operator>>(CString& text);

private:
    bool FillBuffer();
    std::uint64_t ReadLength();
    void WriteLength(std::uint64_t length);

    CFile* m_file;
    Mode m_mode;
    std::vector<BYTE> m_buffer;
    UINT m_begin = 0;  // next byte to deliver (load)
    UINT m_end = 0;    // bytes held in the buffer
    // Bytes of the file not yet read into the buffer (load), measured once on first use: asking
    // the file for its length and position at every string would cost two system calls each.
    mutable std::uint64_t m_fileRemaining = 0;
    mutable bool m_fileRemainingKnown = false;
};

// CFile: the framework's byte-stream file. Positions are byte offsets from the start of the file.
#pragma once

#include <cstdint>

#include "framework/exceptions.h"
#include "framework/framework_types.h"

class CFile {
public:
    // Open flags: one access mode, optionally one sharing mode and modeCreate.
    // Sharing modes are honoured where the operating system has them; POSIX files ignore them.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    // The origins of Seek. Constants rather than enumerators: an enumerator named begin or end
    // would shadow the hidden begin/end friends that some library headers declare.
    enum SeekPosition : unsigned {};
    static constexpr SeekPosition begin = SeekPosition(0);
    static constexpr SeekPosition current = SeekPosition(1);
    static constexpr SeekPosition end = SeekPosition(2);

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes the file if it is open; errors on that close are ignored.
    virtual ~CFile();

    // Opens `path`. Returns false on failure; fills `error` when given, never throws.
    virtual bool Open(const CString& path, unsigned flags, CFileException* error = nullptr);
    // Reads up to `count` bytes; returns how many were read (fewer only at the end of the file).
    // Throws CFileException on a read error.
    virtual UINT Read(void* buffer, UINT count);
    // Writes all `count` bytes or throws CFileException.
    virtual void Write(const void* buffer, UINT count);
    // Moves the position; returns the new position. Throws CFileException(badSeek) on failure.
    virtual std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    virtual std::uint64_t GetPosition() const;
    // The file's length in bytes; throws CFileException on failure.
    virtual std::uint64_t GetLength() const;
    // Pushes written data to the storage device; throws CFileException on failure.
    virtual void Flush();
    // Closes the file; throws CFileException when the system reports an error.
    virtual void Close();

    bool IsOpen() const { return m_handle >= 0; }
    const CString& GetFilePath() const { return m_path; }

private:
    std::intptr_t m_handle = -1;
    CString m_path;
};

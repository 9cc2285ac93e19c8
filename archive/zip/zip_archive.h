// CQVZipArchive: ZIP archives through zlib's minizip unzip interface.
#pragma once

#include "archive/qv_archive.h"

class CQVZipArchive : public CQVArchive {
public:
    CQVZipArchive() = default;
    CQVZipArchive(const CQVZipArchive&) = delete;
    CQVZipArchive& operator=(const CQVZipArchive&) = delete;
    ~CQVZipArchive() override;

    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "zip"; }
    // eEndOfArchive for an archive without entries; eArchiveFailure when the first entry cannot
    // be reached.
    void MoveFirst() override;
    // eArchiveFailure when the entry's information cannot be read.
    CString GetName() override;
    void MoveNext() override;
    void ExtractFirst() override { MoveFirst(); }
    CString GetExtractName() override { return GetName(); }
    // Writes stored and deflated entries; every other method, an encrypted entry, a missing
    // parent folder, a read or write error and a CRC mismatch throw eArchiveFailure. Reading
    // stops one byte past the extraction limit.
    void Extract(CString destination, int skip) override;
    void ExtractNext() override { MoveNext(); }

private:
    void* m_handle = nullptr;  // the minizip unzFile, null while closed
    bool m_empty = false;      // open on an archive without entries that minizip cannot open
};

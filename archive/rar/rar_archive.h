// CQVRarArchive: RAR 4 and RAR 5 archives through the UnRAR library.
//
// Open reads every entry name into memory and closes the archive again; listing works on that
// list alone. Extraction is a second pass that reopens the archive and hands each entry to the
// library in turn. The library's header is included by rar_archive.cpp alone, because it defines
// CALLBACK, HANDLE, LONG, UINT and more as macros.
#pragma once

#include <memory>

#include "archive/qv_archive.h"

class CQVRarArchive : public CQVArchive {
public:
    CQVRarArchive();
    CQVRarArchive(const CQVRarArchive&) = delete;
    CQVRarArchive& operator=(const CQVRarArchive&) = delete;
    ~CQVRarArchive() override;

    // Builds the name list; 0 when the library cannot open the archive or reports bad data. A
    // listing that stops early (a volume of the set is missing) ends in eArchiveFailure.
    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "rar"; }
    void MoveFirst() override;
    // eEndOfArchive when the index is past the list.
    CString GetName() override;
    void MoveNext() override;
    // Reopens the archive for extraction; eArchiveFailure when that fails.
    void ExtractFirst() override;
    // Reads the next header; eEndOfArchive at the normal end, eArchiveFailure when a header
    // cannot be read (or a volume of a set is missing). The rest of a file that began in an
    // earlier volume than the one opened is passed over, as the listing leaves it out.
    CString GetExtractName() override;
    // Skips the entry, creates its folder, or writes its data, following the volumes of a set
    // that are present. A hard link or file copy writes the content of the entry it stands for.
    // An encrypted entry, a symbolic link, a missing volume, damaged data and an output that
    // cannot be written throw eArchiveFailure, and the walk goes on (processing an encrypted
    // entry would kill the handle and every later entry, so it is passed over unprocessed).
    void Extract(CString destination, int skip) override;
    void ExtractNext() override {}

    struct State;

private:
    // Notes the volumes of a set that the library moved to since it was last asked.
    void NoteLibraryVolumes();

    std::unique_ptr<State> m_state;
};

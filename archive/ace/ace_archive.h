// CQVAceArchive: ACE archives through our ACE library (archive/acelib, libzelace).
//
// Open reads every entry name into memory and closes the archive again; listing works on that
// list alone. Extraction is a second pass that reopens the archive and hands each entry to the
// library in turn: the library reads the headers, follows the volumes, unpacks and checks the
// CRC and hands the data back; this reader converts the names, creates folders, writes the
// output and turns results into exceptions.
#pragma once

#include <memory>

#include "archive/qv_archive.h"

class CQVAceArchive : public CQVArchive {
public:
    CQVAceArchive();
    CQVAceArchive(const CQVAceArchive&) = delete;
    CQVAceArchive& operator=(const CQVAceArchive&) = delete;
    ~CQVAceArchive() override;

    // Builds the name list; 1 only when every header up to the archive's normal end was read.
    int Open(const char* path) override;
    void Close() override;
    CString GetType() override { return "ace"; }
    void MoveFirst() override;
    // eEndOfArchive when the index is past the list.
    CString GetName() override;
    void MoveNext() override;
    // Reopens the archive for extraction; eArchiveFailure when that fails.
    void ExtractFirst() override;
    // Reads the next header; eEndOfArchive when there is none, eArchiveFailure when it cannot be
    // read.
    CString GetExtractName() override;
    // Skips the entry, creates its folder, or writes its data; eArchiveFailure when the library
    // fails the entry (damaged data, CRC mismatch, encrypted entry, missing volume, write error).
    void Extract(CString destination, int skip) override;
    void ExtractNext() override {}

    struct State;

private:
    // Notes the volumes of a set that the library opened since it was last asked.
    void NoteOpenedVolumes();

    std::unique_ptr<State> m_state;
};

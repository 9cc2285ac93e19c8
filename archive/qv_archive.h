// The archive reader interface of Arcopen: the abstract reader, its factory and its one exception.
//
// A caller asks CQVArchiveEngine::CreateUnpacker for a reader, opens it, then either lists the
// entries (MoveFirst, then GetName/MoveNext until eEndOfArchive) or extracts them (ExtractFirst,
// then GetExtractName/Extract/ExtractNext until eEndOfArchive), calling Extract for every entry
// with the skip flag for unwanted ones. Names are UTF-8 with "\" as the path separator; a
// directory entry of ZIP, RAR and ACE archives ends in "\".
#pragma once

#include <cstdint>

#include "archive/arcopen_export.h"
#include "framework/framework_types.h"

// Thrown by value by every reader operation except Open: the normal end of an iteration or a failure.
class ARCOPEN_API CQVArchiveException {
public:
    enum EError : std::int32_t {
        eEndOfArchive = 0,    // no further entry (or no current one)
        eArchiveFailure = 1,  // unreadable or corrupt archive, or the output could not be written
    };

    explicit CQVArchiveException(EError error) : m_error(error) {}
    CQVArchiveException(const CQVArchiveException& other) = default;
    CQVArchiveException& operator=(const CQVArchiveException& other) = default;
    virtual ~CQVArchiveException();

    EError GetError() const { return m_error; }

    EError m_error;
};

// One archive reader. Created unopened by CreateUnpacker; the caller owns it and deletes it
// through the virtual destructor, which closes whatever is still open. One thread at a time.
class ARCOPEN_API CQVArchive {
public:
    CQVArchive() = default;
    CQVArchive(const CQVArchive&) = default;
    CQVArchive& operator=(const CQVArchive&) = default;
    virtual ~CQVArchive();

    // Opens the archive for listing; nonzero on success. Never throws.
    virtual int Open(const char* path) = 0;
    // Releases the open archive; safe when nothing is open.
    virtual void Close() = 0;
    // "zip", "rar", "ace", "arj" or "cab".
    virtual CString GetType() = 0;
    // Makes the first entry current.
    virtual void MoveFirst() = 0;
    // Name of the current entry.
    virtual CString GetName() = 0;
    // Makes the next entry current; eEndOfArchive after the last.
    virtual void MoveNext() = 0;
    // Begins an extraction pass.
    virtual void ExtractFirst() = 0;
    // Name of the entry that the next Extract handles.
    virtual CString GetExtractName() = 0;
    // Writes the entry to `destination` (a directory entry, or a destination ending in "\" or
    // "/", creates the directory), or passes over its data when `skip` is nonzero.
    virtual void Extract(CString destination, int skip) = 0;
    // Advances after Extract.
    virtual void ExtractNext() = 0;
};

// The factory: decides which format a file is in.
class ARCOPEN_API CQVArchiveEngine {
public:
    CQVArchiveEngine() = default;
    CQVArchiveEngine(const CQVArchiveEngine&) = default;
    CQVArchiveEngine& operator=(const CQVArchiveEngine&) = default;
    virtual ~CQVArchiveEngine();

    // A new, unopened reader for the file at `path`, or null when no back-end handles it (or
    // allocation fails). Never throws.
    static CQVArchive* CreateUnpacker(const char* path);
};

// The archive reader interface of Arcopen: the abstract reader, its factory and its one exception.
//
// A caller asks CQVArchiveEngine::CreateUnpacker for a reader, opens it, then either lists the
// entries (MoveFirst, then GetName/MoveNext until eEndOfArchive) or extracts them (ExtractFirst,
// then GetExtractName/Extract/ExtractNext until eEndOfArchive), calling Extract for every entry
// with the skip flag for unwanted ones. Names are UTF-8 with "\" as the path separator; a
// directory entry of ZIP, RAR and ACE archives ends in "\".
//
// Errors, and what may follow them:
// - Open returns 0 when the archive cannot be read at all; only Close and destruction follow.
// - eEndOfArchive from MoveFirst, GetName, MoveNext, ExtractFirst, GetExtractName or ExtractNext
//   is the normal end of the pass.
// - eArchiveFailure from Extract is a failure of that entry alone (damaged or truncated data, a
//   CRC mismatch, a missing volume, an encrypted or link entry, an output that cannot be written,
//   a CAB worker that stopped making progress). Nothing is left at the destination (a file that
//   was there before is untouched), and the walk goes on with ExtractNext.
// - eArchiveFailure from MoveFirst, MoveNext, ExtractFirst, GetExtractName or ExtractNext is a
//   failure of the archive itself (damaged headers, a truncated file list, a worker that stopped
//   making progress): the pass is over, and what it listed so far is all that can be had.
// After any exception the reader can still be closed and destroyed; a new pass needs MoveFirst or
// ExtractFirst (a CAB reader whose pass ended needs a new Open).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

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
    // "/", creates the directory), or passes over its data when `skip` is nonzero. The data goes
    // to a new file beside the destination that is renamed over it once complete; a destination
    // that exists and is not a regular file (a folder, device, FIFO, socket or symbolic link) is
    // never touched: the entry fails instead. No link is ever created.
    virtual void Extract(CString destination, int skip) = 0;
    // Advances after Extract.
    virtual void ExtractNext() = 0;

    // At most `bytes` of each entry's data are written by Extract (0: no limit, the default); the
    // rest is passed over as cheaply as the format allows. A truncated entry is no failure (its
    // CRC, which cannot be checked, is not). Set before ExtractFirst or between entries.
    void SetExtractLimit(std::uint64_t bytes) { m_extractLimit = bytes; }
    std::uint64_t GetExtractLimit() const { return m_extractLimit; }
    // Whether the last Extract stopped at the limit (the entry is longer than what was written).
    bool WasExtractTruncated() const { return m_extractTruncated; }

protected:
    void SetExtractTruncated(bool truncated) { m_extractTruncated = truncated; }

private:
    std::uint64_t m_extractLimit = 0;
    bool m_extractTruncated = false;
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

    // Every back-end that accepts the file, in probe order, each new and unopened; the first is
    // the reader CreateUnpacker returns when it returns one. A file that is both a CAB and a ZIP
    // (data in front of a ZIP) gives both. Empty when none accepts it. Never throws.
    static std::vector<std::unique_ptr<CQVArchive>> CreateAllUnpackers(const char* path);

    // How much of a file's start and of its end MayBeArchive looks at.
    static constexpr std::size_t kSniffHeadSize = 1024 * 1024 + 16;
    static constexpr std::size_t kSniffTailSize = 128 * 1024;
    // Whether CreateAllUnpackers could give any reader for the file at `path`, judged from bytes
    // that a caller has read anyway: `head`, the file's first kSniffHeadSize bytes (or all of it),
    // and `tail`, its last kSniffTailSize bytes (or all of it); `path` only for its extension.
    // False only for a file that no back-end accepts, so that a scanner can pass over it without
    // opening it again; true promises no reader. Never throws.
    static bool MayBeArchive(const char* path, std::span<const std::uint8_t> head, std::span<const std::uint8_t> tail);
};

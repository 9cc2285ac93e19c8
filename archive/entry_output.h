// Where every back-end's Extract writes an entry. The data goes to a new file beside the
// destination, and only a complete entry is renamed over the destination: a failed entry leaves
// nothing behind, and a hard link or file planted at the destination is replaced rather than
// written through. A destination that exists and is not a regular file (a folder, device, FIFO,
// socket or symbolic link) is never touched. Bytes past the reader's extraction limit are counted
// but not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "fileio/file.h"

namespace zel::arcopen {

class CEntryOutput {
public:
    // Creates the new file beside `destination`; eArchiveFailure when the destination is no
    // regular file or the new file cannot be made. `limit`: bytes to write at most, 0 for all.
    CEntryOutput(const std::string& destination, std::uint64_t limit);
    // Removes the new file unless Commit renamed it.
    ~CEntryOutput();
    CEntryOutput(const CEntryOutput&) = delete;
    CEntryOutput& operator=(const CEntryOutput&) = delete;

    // Takes the entry's next bytes and writes those within the limit; eArchiveFailure when the
    // write fails. Returns false once bytes past the limit were offered: the decoder may stop.
    bool Write(const void* data, std::size_t size);
    // Bytes were offered past the limit, so the file holds only the entry's beginning.
    bool Truncated() const { return m_truncated; }
    // Marks the output as cut at the limit without offering the bytes past it (for a decoder that
    // knows the entry's size and stops by itself).
    void MarkTruncated() { m_truncated = true; }
    // Bytes still to be written before the limit; the largest value when there is no limit.
    std::uint64_t Room() const;

    // Closes the new file and renames it over the destination; eArchiveFailure when that fails.
    void Commit();

private:
    std::string m_destination;
    std::string m_temp;
    CFile m_file;
    std::uint64_t m_limit;
    std::uint64_t m_written = 0;
    bool m_truncated = false;
};

// Creates the folder that a directory entry's destination names, with any missing parents; an
// existing folder is no error, anything else in its place is eArchiveFailure.
void MakeEntryDirectory(const std::string& destination);

}  // namespace zel::arcopen

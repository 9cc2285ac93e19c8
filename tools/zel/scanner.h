// The file scanner behind `zel scan`: reads each file as the cure module reads a suspect file and
// searches the database for it. One scanner per thread: it keeps its read buffers from one file to
// the next, so that a scan does not allocate and clear two megabytes per file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "database/trojan_base2.h"

namespace zel::cli {

// How much of a file is searched, and the size below which a file never matches.
constexpr unsigned kScanWindowBytes = 2u * 1024 * 1024;
constexpr unsigned kMinimumScanBytes = 1024;

struct Verdict {
    // `limit`: a limit cut the scan short (a nesting level or a size not looked into).
    enum Status { clean, infected, error, limit };
    Status status = clean;
    int index = -1;       // the record found, when infected
    std::string message;  // what went wrong, or which limit was reached
};

class Scanner {
public:
    // `mode` 0 matches signatures at their stored offsets, 1 anywhere. The database's search in
    // that mode must be prepared (PrepareSearch) before scanners on several threads share it.
    Scanner(CTrojanBase2& base, int mode);

    // Scans the regular file at `path`; a final symbolic link is followed only when `follow_link`.
    Verdict ScanFile(const std::string& path, bool follow_link = true);
    // Whether the file last scanned could be an archive, as its first and last bytes tell.
    bool LastMayBeArchive() const { return m_lastMayBeArchive; }
    // The bytes searched so far, over every file this scanner read.
    std::uint64_t ScannedBytes() const { return m_scannedBytes; }

private:
    CTrojanBase2& m_base;
    int m_mode;
    std::unique_ptr<std::uint8_t[]> m_head;
    std::unique_ptr<std::uint8_t[]> m_tail;
    bool m_lastMayBeArchive = false;
    std::uint64_t m_scannedBytes = 0;
};

}  // namespace zel::cli

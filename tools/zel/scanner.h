// The file scanner behind `zel scan`: reads each file as the cure module reads a suspect file and
// searches the database for it.
#pragma once

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
    int index = -1;     // the record found, when infected
    std::string message;  // what went wrong, or which limit was reached
};

class Scanner {
public:
    // `mode` 0 matches signatures at their stored offsets, 1 anywhere.
    Scanner(CTrojanBase2& base, int mode) : m_base(base), m_mode(mode) {}
    Verdict ScanFile(const std::string& path);

private:
    CTrojanBase2& m_base;
    int m_mode;
};

}  // namespace zel::cli

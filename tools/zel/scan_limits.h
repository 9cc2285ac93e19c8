// How much work zel scan spends on the inside of one file. Archives are hostile input: a few
// hundred kilobytes can inflate to gigabytes, or nest without end, so every entry is written to
// the temporary folder only as far as scanning needs, and what a limit cuts short is reported.
#pragma once

#include <cstdint>

namespace zel::cli {

// How many archives deep the scan looks: an archive, and archives inside it, down to 4 levels.
constexpr int kMaxArchiveDepth = 4;

constexpr std::uint64_t kMebibyte = 1024 * 1024;

struct ScanLimits {
    // The most of one entry that is extracted to look inside it as an archive. An entry that is
    // no archive needs only the scan window, whatever this says.
    std::uint64_t max_filesize = 100 * kMebibyte;
    // The most that is extracted from one file named on disk, all nesting levels together.
    std::uint64_t max_scansize = 400 * kMebibyte;
};

}  // namespace zel::cli

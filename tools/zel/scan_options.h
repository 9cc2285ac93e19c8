// What `zel scan` was asked to do: its command line, taken apart and checked before anything is
// loaded or touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/zel/cli.h"
#include "tools/zel/path_filter.h"
#include "tools/zel/scan_limits.h"

namespace zel::cli {

struct ScanOptions {
    int mode = 0;  // 0 stored offsets, 1 anywhere
    ScanLimits limits;
    bool json = false;
    bool infected_only = false;  // --infected: no line for a clean file
    bool quiet = false;          // --quiet: only errors, on standard error
    bool summary = true;
    bool disinfect = false;
    unsigned threads = 1;
    PathFilter filter;
    std::optional<std::string> file_list;  // a file of paths, "-" for standard input
    std::vector<std::string> paths;        // "-" for standard input; set by the caller

    // Whether a line goes out for a verdict of this kind (errors always do).
    bool ShowsClean() const { return !infected_only && !quiet; }
    bool ShowsFindings() const { return !quiet; }
};

// The most workers that -j takes.
constexpr unsigned kMaxThreads = 256;

// Takes every scan option from `args`; --db, --system-root and the paths are the caller's to take.
// Throws Failure for a usage error.
ScanOptions TakeScanOptions(Args& args);

// The number of online processors, at least 1: the default number of workers.
unsigned OnlineProcessors();

}  // namespace zel::cli

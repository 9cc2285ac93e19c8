// What `zel scan` tells: one line per file or archive entry (a JSON object with --json), counted,
// and the summary block at the end. Results go to standard output, errors with --quiet and
// diagnostics to standard error. Workers report from several threads at once: each report goes out
// as whole lines in one piece, never interleaved with another's.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "cure/cure_report.h"
#include "database/trojan_base2.h"
#include "tools/zel/scan_options.h"
#include "tools/zel/scanner.h"

namespace zel::cli {

struct ScanTotals {
    int files = 0;
    int infected = 0;
    int errors = 0;
    int limits = 0;
};

class ScanReport {
public:
    ScanReport(CTrojanBase2& base, const ScanOptions& options) : m_base(base), m_options(options) {}

    // Counts one verdict and prints it as the options ask; `cure` is the disinfection of an
    // infected file, when there was one.
    void Report(const std::string& path, const Verdict& verdict, const CureReport* cure = nullptr);

    ScanTotals Totals() const;
    // The summary block: database, counts, data scanned and time, and `extra` lines.
    void PrintSummary(std::uint64_t scanned_bytes, double seconds, const std::string& extra) const;

private:
    std::string TextLines(const std::string& path, const Verdict& verdict, const CureReport* cure) const;
    std::string JsonLine(const std::string& path, const Verdict& verdict, const CureReport* cure) const;

    CTrojanBase2& m_base;
    const ScanOptions& m_options;
    mutable std::mutex m_mutex;
    ScanTotals m_totals;
};

}  // namespace zel::cli

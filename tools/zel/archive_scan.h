// zel scan inside archives: each entry of an archive that Arcopen reads is extracted into a
// private temporary folder, scanned like a file (archives inside it too, to a depth of 4), and
// removed again. The archive itself is never changed.
#pragma once

#include <functional>
#include <string>

#include "tools/zel/scanner.h"

namespace zel::cli {

// How many archives deep the scan looks: an archive, and archives inside it, down to 4 levels.
constexpr int kMaxArchiveDepth = 4;

class ArchiveScan {
public:
    // `report` receives each entry as "ARCHIVE/ENTRY[/ENTRY...]" with its verdict, and an archive
    // that cannot be read as that archive's name with an error verdict. Entries are never
    // disinfected: they are copies.
    using Report = std::function<void(const std::string& shown, const Verdict& verdict)>;

    ArchiveScan(Scanner& scanner, Report report) : m_scanner(scanner), m_report(std::move(report)) {}

    // Scans the entries of `path` (shown as `shown`) when it is an archive; false when it is none.
    bool ScanEntries(const std::string& path, const std::string& shown);

private:
    void Walk(const std::string& path, const std::string& shown, int depth);

    Scanner& m_scanner;
    Report m_report;
};

}  // namespace zel::cli

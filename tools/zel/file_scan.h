// The scan of one file on disk, as each worker of `zel scan` runs it: the file's own verdict (and
// its disinfection when asked), then the entries inside it when its first and last bytes show that
// it may be an archive. Each worker has its own FileScan (its own read buffers and temporary
// folders); the database, the report and the disinfection are shared.
#pragma once

#include <functional>
#include <string>

#include "tools/zel/archive_scan.h"
#include "tools/zel/disinfection.h"
#include "tools/zel/scan_report.h"
#include "tools/zel/scanner.h"

namespace zel::cli {

class FileScan {
public:
    // `disinfection` null: nothing is disinfected. `interrupted` is asked before each entry.
    FileScan(CTrojanBase2& base, const ScanOptions& options, ScanReport& report, Disinfection* disinfection,
             std::function<bool()> interrupted);

    // Scans the file at `path`, shown as `shown`. `named` when the user named it (a final symbolic
    // link is followed); `on_disk` when it is the user's file, which may be disinfected (not a copy
    // of standard input). Throws Interrupted when an interrupt stops it.
    void Scan(const std::string& path, const std::string& shown, bool named, bool on_disk);
    // Scans the copy of standard input at `path`, shown as "stdin": as a file, never disinfected;
    // a copy that `cut` short is reported as a limit (unless a trojan is found) and not looked into.
    void ScanStandardInput(const std::string& path, bool cut);
    // Reports `verdict` for `shown`, disinfecting the file at `path` when it is found and may be.
    void Report(const std::string& path, const std::string& shown, Verdict verdict, bool on_disk);

    std::uint64_t ScannedBytes() const { return m_scanner.ScannedBytes(); }

private:
    ScanReport& m_report;
    Disinfection* m_disinfection;
    Scanner m_scanner;
    ArchiveScan m_archives;
};

}  // namespace zel::cli

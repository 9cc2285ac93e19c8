#include "tools/zel/file_scan.h"

namespace zel::cli {

FileScan::FileScan(CTrojanBase2& base, const ScanOptions& options, ScanReport& report, Disinfection* disinfection,
                   VolumeSets& volumes, std::function<bool()> interrupted)
    : m_report(report), m_disinfection(disinfection), m_volumes(volumes), m_scanner(base, options.mode),
      // Entries are reported, never disinfected: what is scanned is a temporary copy.
      m_archives(
          m_scanner, options.limits,
          [this](const std::string& shown, const Verdict& verdict) { m_report.Report(shown, verdict); },
          std::move(interrupted)) {}

void FileScan::Scan(const std::string& path, const std::string& shown, bool named, bool on_disk) {
    Verdict verdict = m_scanner.ScanFile(path, named);
    // A later volume of a set is still scanned as a file; its entries are its first volume's.
    VolumeSets::Covered covered = on_disk ? m_volumes.CoveredBy(path, named) : VolumeSets::Covered{};
    Report(path, shown, verdict, on_disk, covered.first);
    if (m_scanner.LastMayBeArchive()) m_archives.ScanEntries(path, shown, covered.type);
}

void FileScan::ScanStandardInput(const std::string& path, bool cut) {
    static const std::string kShown = "stdin";
    if (!cut) return Scan(path, kShown, true, false);
    Verdict verdict = m_scanner.ScanFile(path);
    if (verdict.status == Verdict::clean) {
        verdict = {Verdict::limit, -1, "limit reached: longer than --max-filesize, only its first 2 MiB scanned"};
    }
    Report(path, kShown, verdict, false);
}

void FileScan::Report(const std::string& path, const std::string& shown, Verdict verdict, bool on_disk,
                      const std::string& volume_of) {
    if (m_disinfection && on_disk && verdict.status == Verdict::infected) {
        CureReport cure = m_disinfection->Run(path, verdict.index);
        m_report.Report(shown, verdict, &cure);
        return;
    }
    m_report.Report(shown, verdict, nullptr, volume_of);
}

}  // namespace zel::cli

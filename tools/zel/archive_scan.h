// zel scan inside archives. Each entry of an archive is extracted into a private temporary folder,
// scanned like a file (archives inside it too, to kMaxArchiveDepth levels) and removed again; the
// archive itself is never changed, and no entry is ever disinfected: it is a copy.
//
// A file is looked into with every back-end that accepts it, so that an archive cannot hide its
// members by carrying a second format (a ZIP stored at the end of a cabinet is read both ways).
//
// Work is bounded (see ScanLimits): an entry is written only as far as the scan window, unless
// that prefix shows an archive; such an entry is extracted again, in one second pass over the
// archive, up to max_filesize, and looked into. The scan size is spent across every level of one
// file named on disk; once it is gone the walk stops and says so.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/qv_archive.h"
#include "tools/zel/scan_limits.h"
#include "tools/zel/scanner.h"

namespace zel::cli {

class ArchiveScan {
public:
    // Receives each entry as "ARCHIVE/ENTRY[/ENTRY...]" with its verdict, and an archive that
    // cannot be read (or whose walk a limit ended) as that archive's name with the verdict. When a
    // second back-end's entry would be shown like one already shown, it reads "ARCHIVE[type]/ENTRY".
    using Report = std::function<void(const std::string& shown, const Verdict& verdict)>;

    // `interrupted` is asked before each entry; when it says yes the scan throws Interrupted,
    // after the temporary files are gone.
    ArchiveScan(Scanner& scanner, const ScanLimits& limits, Report report, std::function<bool()> interrupted)
        : m_scanner(scanner), m_limits(limits), m_report(std::move(report)), m_interrupted(std::move(interrupted)) {}

    // Scans the entries of `path` (shown as `shown`) when it is an archive; false when it is none.
    // `except`: a format not to read it with (a later volume of a set that the walk of its first
    // volume goes through, see VolumeSets).
    bool ScanEntries(const std::string& path, const std::string& shown, const std::string& except = {});

private:
    struct Reading;
    struct DeferredEntry;
    struct Deferred;

    void LookInto(const std::string& path, const std::string& shown, int depth,
                  std::vector<std::unique_ptr<CQVArchive>> readers);
    void ReadWith(CQVArchive& reader, const std::string& path, const std::string& shown, int depth, bool first,
                  std::set<std::string>& shown_names);
    void FirstPass(Reading& reading, Deferred& deferred);
    void SecondPass(Reading& reading, Deferred& deferred);
    // Reports an entry extracted whole, and looks into it when it is an archive.
    void ScanWhole(const std::string& file, const std::string& shown, const Verdict& verdict, int depth);
    // Spends `bytes` of the scan size.
    void Charge(std::uint64_t bytes);
    void StopIfInterrupted() const;
    // Reports the deferred entries not yet reported: `status` unless a trojan was found.
    void ReportRest(Deferred& deferred, Verdict::Status status, const std::string& message);
    void ReportDamaged(const Reading& reading);

    Scanner& m_scanner;
    ScanLimits m_limits;
    Report m_report;
    std::function<bool()> m_interrupted;
    // Of the scan size of the file named on disk: what is decoded counts, not only what is written,
    // since a solid archive decodes every entry to its end and a skip of one decodes it too.
    std::uint64_t m_remaining = 0;
};

}  // namespace zel::cli

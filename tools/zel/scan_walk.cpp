#include "tools/zel/scan_walk.h"

#include <algorithm>

#include "platform/files.h"
#include "tools/zel/stdin_copy.h"

namespace zel::cli {

ScanWalk::ScanWalk(const ScanOptions& options, ScanReport& report, WorkerPool& pool,
                   std::vector<std::unique_ptr<FileScan>>& scans, std::function<bool()> interrupted)
    : m_options(options), m_report(report), m_pool(pool), m_scans(scans), m_interrupted(std::move(interrupted)) {}

void ScanWalk::StopIfInterrupted() const {
    if (m_interrupted()) throw Interrupted{};
}

void ScanWalk::Named(const std::string& path, bool dash_is_input) {
    StopIfInterrupted();
    if (dash_is_input && path == "-") return StandardInput();
    switch (platform::KindOfTarget(path)) {
        case platform::EntryKind::folder:
            if (!m_options.filter.ExcludesFolder(path)) Folder(path);
            return;
        case platform::EntryKind::file:
            if (!m_options.filter.ExcludesFile(path)) Submit(path, true);
            return;
        case platform::EntryKind::missing: return m_report.Report(path, {Verdict::error, -1, "no such file or folder"});
        default:
            // A FIFO would block the read and a device may never end: reported, never opened.
            return m_report.Report(path, {Verdict::error, -1, "not a regular file"});
    }
}

void ScanWalk::NamedIn(std::istream& list) {
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) Named(line, false);
    }
}

void ScanWalk::Folder(const std::string& path) {
    std::vector<std::string> names;
    if (!platform::ListFolder(path, names)) {
        return m_report.Report(path, {Verdict::error, -1, "cannot read the folder"});
    }
    std::string prefix = path.ends_with('/') ? path : path + "/";
    for (const auto& name : names) {
        StopIfInterrupted();
        std::string child = prefix + name;
        // Symbolic links and special files inside folders are passed over.
        platform::EntryKind kind = platform::KindOf(child);
        if (kind == platform::EntryKind::folder && !m_options.filter.ExcludesFolder(child)) Folder(child);
        if (kind == platform::EntryKind::file && !m_options.filter.ExcludesFile(child)) Submit(child, false);
    }
}

void ScanWalk::Submit(const std::string& path, bool named) {
    m_pool.Submit([this, path, named](std::size_t worker) {
        StopIfInterrupted();
        m_scans[worker]->Scan(path, path, named, true);
    });
}

void ScanWalk::StandardInput() {
    StdinCopy copy(std::max<std::uint64_t>(kScanWindowBytes, m_options.limits.max_filesize));
    m_scans.back()->ScanStandardInput(copy.path(), copy.cut());
}

}  // namespace zel::cli

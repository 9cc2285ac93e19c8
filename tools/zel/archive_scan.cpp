#include "tools/zel/archive_scan.h"

#include <memory>

#include "archive/qv_archive.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "tools/zel/archive_walk.h"

namespace zel::cli {
namespace {

// The longest extension kept on a temporary entry file (RAR and ACE are recognised by theirs).
constexpr std::size_t kMaxExtension = 16;

// The entry name's extension ("." included), or "" when it has none worth keeping.
std::string ExtensionOf(const std::string& name) {
    auto slash = name.find_last_of("/\\");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    auto dot = last.find_last_of('.');
    if (dot == std::string::npos || last.size() - dot > kMaxExtension) return {};
    return last.substr(dot);
}

Verdict Error(const std::string& message) { return {Verdict::error, -1, message}; }

}  // namespace

bool ArchiveScan::ScanEntries(const std::string& path, const std::string& shown) {
    std::unique_ptr<CQVArchive> probe(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    if (!probe) return false;
    probe.reset();
    Walk(path, shown, 1);
    return true;
}

void ArchiveScan::Walk(const std::string& path, const std::string& shown, int depth) {
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    if (!reader) return;
    if (!reader->Open(path.c_str())) {
        m_report(shown, Error("cannot open the archive (damaged)"));
        return;
    }
    platform::TempDirectory folder("zel-scan-");
    if (folder.path().empty()) {
        m_report(shown, Error("cannot create a temporary folder"));
        return;
    }
    int index = 0;
    std::string current;
    auto destination_for = [&](const std::string& name) -> std::optional<std::string> {
        if (name.empty() || name.back() == '\\' || name.back() == '/') return std::nullopt;   // a folder
        current = folder.path() + "/entry" + std::to_string(index++) + ExtensionOf(name);
        return current;
    };
    auto on_entry = [&](const EntryOutcome& outcome) {
        if (outcome.destination.empty() && !outcome.failed) return;
        std::string entry_shown = shown + "/" + DisplayEntryName(outcome.name);
        platform::TempFileGuard remove(current);
        if (outcome.failed) {
            m_report(entry_shown, Error("cannot extract the entry (damaged, encrypted or unsupported)"));
            return;
        }
        // Back-ends pass over some entries without output (ARJ folders and garbled entries).
        if (platform::KindOf(current) != platform::EntryKind::file) return;
        m_report(entry_shown, m_scanner.ScanFile(current));
        if (depth < kMaxArchiveDepth) Walk(current, entry_shown, depth + 1);
    };
    std::string error;
    if (!WalkExtraction(*reader, destination_for, on_entry, error)) m_report(shown, Error(error));
}

}  // namespace zel::cli

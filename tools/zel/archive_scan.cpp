#include "tools/zel/archive_scan.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"
#include "tools/zel/archive_walk.h"
#include "tools/zel/cli.h"

namespace zel::cli {
namespace {

// The longest extension kept on a temporary entry file (RAR and ACE are recognised by theirs).
constexpr std::size_t kMaxExtension = 16;

constexpr const char* kEntryFailed = "cannot extract the entry (damaged, encrypted, a link, or a missing volume)";
constexpr const char* kNestingLimit = "not scanned: nesting limit";
constexpr const char* kTooLarge = "limit reached: larger than --max-filesize, not looked into";
constexpr const char* kFirstPartOnly = "limit reached: only its first part scanned (--max-filesize)";
constexpr const char* kScanSizeSpent = "limit reached: --max-scansize spent, the rest of the archive not scanned";

// Unwinds every level of one disk file's walk once its scan size is spent (reported where it ran out).
struct ScanSizeSpent {};
// Ends a second pass once the last entry it came for is done.
struct PassDone {};

// The entry name's extension ("." included), or "" when it has none worth keeping.
std::string ExtensionOf(const std::string& name) {
    auto slash = name.find_last_of("/\\");
    std::string last = slash == std::string::npos ? name : name.substr(slash + 1);
    auto dot = last.find_last_of('.');
    if (dot == std::string::npos || last.size() - dot > kMaxExtension) return {};
    return last.substr(dot);
}

bool NamesFolder(const std::string& name) { return name.empty() || name.back() == '\\' || name.back() == '/'; }

Verdict Error(const std::string& message) { return {Verdict::error, -1, message}; }

// A trojan found in what was scanned outweighs whatever was not.
Verdict Unless(const Verdict& found, Verdict::Status status, const std::string& message) {
    return found.status == Verdict::infected ? found : Verdict{status, -1, message};
}

// What the scanner does not tell about an extracted file: its length, and whether its first
// window holds a ZIP local header (a ZIP cut short is no ZIP to the factory, its directory being
// at the end; nor is a self-extractor whose stub comes first).
struct Extracted {
    std::uint64_t size = 0;
    bool zip_header = false;
};

Extracted Inspect(const std::string& path) {
    static constexpr char kZipLocalHeader[] = {'P', 'K', 3, 4};
    Extracted facts;
    std::vector<std::uint8_t> head;
    if (!platform::ReadFileHead(path, kScanWindowBytes, head, &facts.size)) return facts;
    facts.zip_header =
        std::search(head.begin(), head.end(), std::begin(kZipLocalHeader), std::end(kZipLocalHeader)) != head.end();
    return facts;
}

bool IsArchive(const std::string& path) { return !CQVArchiveEngine::CreateAllUnpackers(path.c_str()).empty(); }

}  // namespace

// One back-end's reading of one archive.
struct ArchiveScan::Reading {
    CQVArchive& reader;
    const std::string& path;
    const std::string& shown;
    std::string type;
    int depth;
    bool first;                          // the factory's own choice: its names are never tagged
    std::set<std::string>& shown_names;  // of every back-end's entries of this archive so far
    std::string folder;

    std::string EntryFile(int index, const std::string& name) const {
        return folder + "/entry" + std::to_string(index) + ExtensionOf(name);
    }

    std::string ShowEntry(const std::string& name) {
        std::string entry = "/" + DisplayEntryName(name);
        std::string result = shown + entry;
        if (!first && shown_names.count(result)) result = shown + "[" + type + "]" + entry;
        shown_names.insert(result);
        return result;
    }
};

// An entry cut at the scan window whose first part shows an archive: extracted again later.
struct ArchiveScan::DeferredEntry {
    int index;
    std::string name;
    std::string shown;
    Verdict verdict;  // of its first part, which is all that the file scan reads
};

// The entries one reading extracts again, and how many of them are reported.
struct ArchiveScan::Deferred {
    std::vector<DeferredEntry> entries;
    size_t next = 0;
};

bool ArchiveScan::ScanEntries(const std::string& path, const std::string& shown, const std::string& except) {
    auto readers = CQVArchiveEngine::CreateAllUnpackers(path.c_str());
    if (readers.empty()) return false;
    if (!except.empty()) {
        std::erase_if(readers, [&](const auto& reader) { return reader->GetType() == except; });
        if (readers.empty()) return true;
    }
    m_remaining = m_limits.max_scansize;
    try {
        LookInto(path, shown, 1, std::move(readers));
    } catch (const ScanSizeSpent&) {
    }
    return true;
}

void ArchiveScan::LookInto(const std::string& path, const std::string& shown, int depth,
                           std::vector<std::unique_ptr<CQVArchive>> readers) {
    std::set<std::string> shown_names;
    for (size_t i = 0; i < readers.size(); ++i) ReadWith(*readers[i], path, shown, depth, i == 0, shown_names);
}

void ArchiveScan::ReadWith(CQVArchive& reader, const std::string& path, const std::string& shown, int depth, bool first,
                           std::set<std::string>& shown_names) {
    std::string type = reader.GetType();
    if (!reader.Open(path.c_str())) {
        m_report(shown, Error("cannot open the " + type + " archive (damaged)"));
        return;
    }
    platform::TempFolder folder("zel-scan-");
    if (folder.path().empty()) {
        m_report(shown, Error("cannot create a temporary folder"));
        return;
    }
    Reading reading{reader, path, shown, type, depth, first, shown_names, folder.path()};
    Deferred deferred;
    try {
        FirstPass(reading, deferred);
        if (!deferred.entries.empty()) SecondPass(reading, deferred);
    } catch (const ScanSizeSpent&) {
        ReportRest(deferred, Verdict::limit, kScanSizeSpent);
        throw;
    }
}

void ArchiveScan::Charge(std::uint64_t bytes) { m_remaining -= std::min(bytes, m_remaining); }

void ArchiveScan::StopIfInterrupted() const {
    if (m_interrupted && m_interrupted()) throw Interrupted{};
}

void ArchiveScan::ReportRest(Deferred& deferred, Verdict::Status status, const std::string& message) {
    for (; deferred.next < deferred.entries.size(); ++deferred.next) {
        const DeferredEntry& entry = deferred.entries[deferred.next];
        m_report(entry.shown, Unless(entry.verdict, status, message));
    }
}

void ArchiveScan::ReportDamaged(const Reading& reading) {
    m_report(reading.shown, Error("damaged " + reading.type + " archive: the rest of it cannot be read"));
}

void ArchiveScan::FirstPass(Reading& reading, Deferred& deferred) {
    int index = -1;
    std::string current;
    std::uint64_t limit = 0;
    bool size_bound = false;  // the limit is what is left of the scan size
    auto destination_for = [&](const std::string& name) -> std::optional<std::string> {
        ++index;
        StopIfInterrupted();
        if (NamesFolder(name)) return std::nullopt;
        if (m_remaining == 0) {
            m_report(reading.shown, {Verdict::limit, -1, kScanSizeSpent});
            throw ScanSizeSpent{};
        }
        std::uint64_t wanted = std::min<std::uint64_t>(kScanWindowBytes, m_limits.max_filesize);
        limit = std::min(wanted, m_remaining);
        size_bound = limit < wanted;
        reading.reader.SetExtractLimit(limit);
        current = reading.EntryFile(index, name);
        return current;
    };
    auto on_entry = [&](const EntryOutcome& outcome) {
        Charge(outcome.decoded);
        if (outcome.destination.empty() && !outcome.failed) return;
        std::string shown = reading.ShowEntry(outcome.name);
        platform::TempFileGuard remove(current);
        if (outcome.failed) return m_report(shown, Error(kEntryFailed));
        // Back-ends pass over some entries without output (ARJ folders).
        if (platform::KindOf(current) != platform::EntryKind::file) return;
        Extracted facts = Inspect(current);
        Charge(facts.size > outcome.decoded ? facts.size - outcome.decoded : 0);
        Verdict verdict = m_scanner.ScanFile(current);
        if (!outcome.truncated) return ScanWhole(current, shown, verdict, reading.depth);
        if (size_bound) {
            m_report(shown, Unless(verdict, Verdict::limit, kScanSizeSpent));
            throw ScanSizeSpent{};
        }
        if (limit < kScanWindowBytes) return m_report(shown, Unless(verdict, Verdict::limit, kFirstPartOnly));
        // The file scan has read all it reads; only an archive needs more of the entry.
        if (!facts.zip_header && !IsArchive(current)) return m_report(shown, verdict);
        if (reading.depth >= kMaxArchiveDepth) return m_report(shown, Unless(verdict, Verdict::limit, kNestingLimit));
        if (m_limits.max_filesize <= kScanWindowBytes)
            return m_report(shown, Unless(verdict, Verdict::limit, kTooLarge));
        deferred.entries.push_back({index, outcome.name, shown, verdict});
    };
    std::string error;
    if (!WalkExtraction(reading.reader, destination_for, on_entry, error)) ReportDamaged(reading);
}

void ArchiveScan::SecondPass(Reading& reading, Deferred& deferred) {
    reading.reader.Close();
    if (!reading.reader.Open(reading.path.c_str())) return ReportRest(deferred, Verdict::error, kEntryFailed);
    const auto& entries = deferred.entries;
    int index = -1;
    std::string current;
    bool size_bound = false;
    auto destination_for = [&](const std::string& name) -> std::optional<std::string> {
        ++index;
        StopIfInterrupted();
        if (deferred.next >= entries.size()) throw PassDone{};
        // Passing over an entry of a solid archive decodes it again: that is spent too.
        if (m_remaining == 0) throw ScanSizeSpent{};
        if (index != entries[deferred.next].index) return std::nullopt;
        // The same entry in the same place, or the archive is not what it was a moment ago.
        if (name != entries[deferred.next].name) throw PassDone{};
        size_bound = m_remaining < m_limits.max_filesize;
        reading.reader.SetExtractLimit(std::min(m_limits.max_filesize, m_remaining));
        current = reading.EntryFile(index, name);
        return current;
    };
    auto on_entry = [&](const EntryOutcome& outcome) {
        Charge(outcome.decoded);
        // What goes wrong while passing over the other entries was reported by the first pass.
        if (outcome.destination.empty()) return;
        const DeferredEntry& entry = entries[deferred.next++];
        platform::TempFileGuard remove(current);
        if (outcome.failed || platform::KindOf(current) != platform::EntryKind::file) {
            return m_report(entry.shown, Unless(entry.verdict, Verdict::error, kEntryFailed));
        }
        std::uint64_t size = Inspect(current).size;
        Charge(size > outcome.decoded ? size - outcome.decoded : 0);
        if (!outcome.truncated) return ScanWhole(current, entry.shown, entry.verdict, reading.depth);
        if (!size_bound) return m_report(entry.shown, Unless(entry.verdict, Verdict::limit, kTooLarge));
        m_report(entry.shown, Unless(entry.verdict, Verdict::limit, kScanSizeSpent));
        throw ScanSizeSpent{};
    };
    try {
        std::string error;
        if (!WalkExtraction(reading.reader, destination_for, on_entry, error)) ReportDamaged(reading);
    } catch (const PassDone&) {
    }
    ReportRest(deferred, Verdict::error, kEntryFailed);
}

void ArchiveScan::ScanWhole(const std::string& file, const std::string& shown, const Verdict& verdict, int depth) {
    auto readers = CQVArchiveEngine::CreateAllUnpackers(file.c_str());
    if (readers.empty()) return m_report(shown, verdict);
    if (depth >= kMaxArchiveDepth) return m_report(shown, Unless(verdict, Verdict::limit, kNestingLimit));
    m_report(shown, verdict);
    LookInto(file, shown, depth + 1, std::move(readers));
}

}  // namespace zel::cli

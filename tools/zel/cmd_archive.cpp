// zel archive: list and extract the archives that Arcopen reads (ZIP, RAR, ARJ, CAB, ACE).
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/qv_archive.h"
#include "platform/files.h"
#include "tools/zel/archive_walk.h"
#include "tools/zel/commands.h"
#include "tools/zel/json.h"
#include "tools/zel/safe_text.h"

namespace zel::cli {
namespace {

constexpr const char* kArchiveUsage =
    "usage: zel archive list [--json] FILE\n"
    "       zel archive extract FILE DIR [NAME...]\n"
    "list prints the archive's type and its entry names in order (\"\\\" separators shown as \"/\").\n"
    "extract writes every entry (or the NAMEs) below DIR, creating folders as needed; an entry whose\n"
    "name would land outside DIR is refused with a warning. Exit status: 0 done, 2 an error.\n";

// An entry name as a terminal may show it.
std::string Shown(const std::string& entry_name) { return TerminalText(DisplayEntryName(entry_name)); }

// Whether an entry may be written at `destination` (a folder when it ends in "/"): extraction
// replaces an earlier regular file, or fills an existing folder, and touches nothing else (a
// device, a FIFO or a socket, a folder where a file goes).
bool Replaceable(const std::string& destination) {
    bool folder = destination.ends_with('/');
    platform::EntryKind kind = platform::KindOf(folder ? destination.substr(0, destination.size() - 1) : destination);
    if (kind == platform::EntryKind::missing) return true;
    return kind == (folder ? platform::EntryKind::folder : platform::EntryKind::file);
}

// Opens `path` with the reader that Arcopen picks, or throws Failure.
std::unique_ptr<CQVArchive> OpenReader(const std::string& path) {
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    if (!reader) throw Failure{path + ": not an archive that zel reads"};
    if (!reader->Open(path.c_str())) throw Failure{path + ": cannot open the archive (missing or damaged)"};
    return reader;
}

int List(Args& args) {
    bool json = args.TakeFlag("--json");
    auto words = args.Positionals();
    if (words.size() != 1) throw Failure{"archive list needs one FILE (try zel archive --help)"};
    auto reader = OpenReader(words[0]);
    std::vector<std::string> names;
    try {
        reader->MoveFirst();
        for (;;) {
            names.push_back(reader->GetName());
            reader->MoveNext();
        }
    } catch (const CQVArchiveException& failure) {
        if (failure.GetError() != CQVArchiveException::eEndOfArchive) {
            throw Failure{words[0] + ": cannot read the archive's entries (damaged)"};
        }
    }
    if (json) {
        std::string line = "{\"type\": " + JsonString(reader->GetType()) + ", \"entries\": [";
        for (size_t i = 0; i < names.size(); ++i) line += (i ? ", " : "") + JsonString(DisplayEntryName(names[i]));
        std::printf("%s]}\n", line.c_str());
    } else {
        std::printf("%s\n", TerminalText(reader->GetType()).c_str());
        for (const auto& name : names) std::printf("%s\n", Shown(name).c_str());
    }
    return kOk;
}

int Extract(Args& args) {
    auto words = args.Positionals();
    if (words.size() < 2) throw Failure{"archive extract needs FILE and DIR (try zel archive --help)"};
    const std::string& path = words[0];
    std::string folder = words[1];
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::set<std::string> wanted;
    for (size_t i = 2; i < words.size(); ++i) wanted.insert(DisplayEntryName(words[i]));
    std::set<std::string> seen;

    auto reader = OpenReader(path);
    if (!platform::MakeFolders(folder)) throw Failure{folder + ": cannot create the folder"};
    int failures = 0;
    auto destination_for = [&](const std::string& name) -> std::optional<std::string> {
        std::string shown = DisplayEntryName(name);
        if (!wanted.empty()) {
            std::string bare = shown.ends_with('/') ? shown.substr(0, shown.size() - 1) : shown;
            if (!wanted.count(shown) && !wanted.count(bare)) return std::nullopt;
            seen.insert(wanted.count(shown) ? shown : bare);
        }
        auto relative = SafeRelativePath(name);
        if (!relative || !StaysInside(folder, *relative)) {
            std::fprintf(stderr, "zel: warning: %s: refused, it would land outside %s\n", Shown(name).c_str(),
                         TerminalText(folder).c_str());
            return std::nullopt;
        }
        std::string destination = folder + "/" + *relative;
        if (!Replaceable(destination)) {
            ++failures;
            std::fprintf(stderr, "zel: %s: %s: not written: %s exists and is not a %s\n", TerminalText(path).c_str(),
                         Shown(name).c_str(), TerminalText(destination).c_str(),
                         destination.ends_with('/') ? "folder" : "regular file");
            return std::nullopt;
        }
        auto slash = destination.find_last_of('/', destination.size() - 2);
        if (slash != std::string::npos && slash > 0) platform::MakeFolders(destination.substr(0, slash));
        return destination;
    };
    auto on_entry = [&](const EntryOutcome& outcome) {
        // A back-end that cannot report a failure (CAB) leaves no file for an entry it could not
        // write out whole.
        const bool missing = !outcome.failed && !outcome.destination.empty() && outcome.destination.back() != '/' &&
                             platform::KindOf(outcome.destination) == platform::EntryKind::missing;
        if (!outcome.failed && !missing) return;
        ++failures;
        std::fprintf(stderr,
                     "zel: %s: %s: cannot extract (damaged, encrypted or unsupported entry, or a "
                     "write error)\n",
                     TerminalText(path).c_str(), Shown(outcome.name).c_str());
    };
    std::string error;
    if (!WalkExtraction(*reader, destination_for, on_entry, error)) {
        std::fprintf(stderr, "zel: %s: %s\n", TerminalText(path).c_str(), error.c_str());
        return kError;
    }
    for (const auto& name : wanted) {
        if (seen.count(name)) continue;
        std::fprintf(stderr, "zel: %s: no entry %s\n", TerminalText(path).c_str(), TerminalText(name).c_str());
        ++failures;
    }
    return failures ? kError : kOk;
}

}  // namespace

int RunArchive(Args args) {
    std::string sub = args.TakeFirst();
    if (sub.empty() || sub == "--help" || sub == "-h" || args.TakeFlag("--help")) {
        std::fputs(kArchiveUsage, sub.empty() ? stderr : stdout);
        return sub.empty() ? kError : kOk;
    }
    if (sub == "list") return List(args);
    if (sub == "extract") return Extract(args);
    throw Failure{"unknown archive subcommand '" + sub + "' (try zel archive --help)"};
}

}  // namespace zel::cli

#include "tools/zel/archive_walk.h"

#include <vector>

#include "platform/files.h"

namespace zel::cli {

std::optional<std::string> SafeRelativePath(const std::string& entry_name) {
    if (entry_name.empty() || entry_name.find('\0') != std::string::npos) return std::nullopt;
    std::string name = DisplayEntryName(entry_name);
    if (name.front() == '/') return std::nullopt;
    // "C:" (and the like) at the start means a drive, absolute or relative to that drive's folder.
    if (name.size() >= 2 && name[1] == ':') return std::nullopt;
    bool folder = name.back() == '/';
    std::string result;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        std::string part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (!result.empty()) result += '/';
        result += part;
    }
    if (result.empty()) return std::nullopt;
    if (folder) result += '/';
    return result;
}

bool StaysInside(const std::string& folder, const std::string& relative) {
    std::string path = folder;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        path += '/';
        path += relative.substr(start, end - start);
        if (platform::KindOf(path) == platform::EntryKind::symlink) return false;
        start = end + 1;
    }
    return true;
}

std::string DisplayEntryName(const std::string& entry_name) {
    std::string name = entry_name;
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

bool WalkExtraction(CQVArchive& reader,
                    const std::function<std::optional<std::string>(const std::string&)>& destination_for,
                    const std::function<void(const EntryOutcome&)>& on_entry, std::string& error) {
    // Some back-ends (CAB) write an entry on a thread of their own after Extract has returned; the
    // entry is complete only once the reader has moved on to the next entry or to the end. So each
    // outcome (whether it was truncated too) is handed on only after the next name has been asked
    // for.
    std::optional<EntryOutcome> pending;
    auto flush = [&] {
        if (!pending) return;
        EntryOutcome outcome = std::move(*pending);
        pending.reset();
        outcome.truncated = !outcome.failed && !outcome.destination.empty() && reader.WasExtractTruncated();
        outcome.decoded = reader.GetExtractDecodedBytes();
        on_entry(outcome);
    };
    try {
        reader.ExtractFirst();
        for (;;) {
            EntryOutcome outcome;
            outcome.name = reader.GetExtractName();
            flush();
            auto destination = destination_for(outcome.name);
            if (destination) outcome.destination = *destination;
            try {
                reader.Extract(outcome.destination, destination ? 0 : 1);
            } catch (const CQVArchiveException& failure) {
                if (failure.GetError() == CQVArchiveException::eEndOfArchive) throw;
                outcome.failed = true;
            }
            pending = std::move(outcome);
            reader.ExtractNext();
        }
    } catch (const CQVArchiveException& failure) {
        if (failure.GetError() == CQVArchiveException::eEndOfArchive) {
            flush();
            return true;
        }
        flush();
        error = "damaged archive";
        return false;
    }
}

}  // namespace zel::cli

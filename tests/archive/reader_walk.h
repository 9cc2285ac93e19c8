// Walking any Arcopen reader in tests: its listed names, and the error a call raises.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "archive/qv_archive.h"

namespace zel::test {

// The names of a listing pass, in order. Lets errors other than eEndOfArchive through.
inline std::vector<std::string> ListNames(CQVArchive& reader) {
    std::vector<std::string> names;
    try {
        reader.MoveFirst();
        for (;;) {
            names.push_back(reader.GetName());
            reader.MoveNext();
        }
    } catch (const CQVArchiveException& failure) {
        if (failure.GetError() != CQVArchiveException::eEndOfArchive) throw;
    }
    return names;
}

// The error code of the CQVArchiveException that `action` throws; -1 when it throws none.
template <typename Action>
int ErrorOf(Action action) {
    try {
        action();
    } catch (const CQVArchiveException& failure) {
        return failure.GetError();
    }
    return -1;
}

// An extraction pass that goes on after an entry fails, as a scanner does, writing each entry
// below `folder` ("\" turned into "/"): each entry's name and the error its Extract raised (-1 for
// none), then one last element named "" with the error that ended the pass (eEndOfArchive at a
// normal end).
struct EntryResult {
    std::string name;
    int error;
    bool operator==(const EntryResult&) const = default;
};
inline std::vector<EntryResult> ExtractEach(CQVArchive& reader, const std::string& folder) {
    std::vector<EntryResult> results;
    try {
        reader.ExtractFirst();
        for (;;) {
            std::string name = reader.GetExtractName();
            std::string relative = name;
            for (char& c : relative) {
                if (c == '\\') c = '/';
            }
            std::filesystem::path destination = std::filesystem::path(folder) / relative;
            std::filesystem::create_directories(destination.parent_path());
            results.push_back({name, ErrorOf([&] { reader.Extract(destination.string(), 0); })});
            reader.ExtractNext();
        }
    } catch (const CQVArchiveException& end) {
        results.push_back({"", end.GetError()});
    }
    return results;
}

}  // namespace zel::test

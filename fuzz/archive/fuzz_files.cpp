#include "fuzz/archive/fuzz_files.h"

#include <cstdio>
#include <cstdlib>

#include "platform/files.h"
#include "fileio/file.h"

namespace zel::fuzz {

const std::string& WorkFolder() {
    static const std::string folder = [] {
        std::string made = platform::MakeTempFolder("zel-fuzz-archive-");
        if (made.empty()) std::abort();
        static std::string to_remove;
        to_remove = made;
        std::atexit([] { platform::RemoveTree(to_remove); });
        return made;
    }();
    return folder;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
    std::string path = WorkFolder() + "/" + name;
    CFile file;
    if (!file.Open(path, CFile::modeCreate | CFile::modeWrite)) std::abort();
    file.Write(data, static_cast<UINT>(size));
    file.Close();
    return path;
}

void WalkReader(CQVArchive& reader) {
    // Bounded walks: an archive may hold very many entries.
    constexpr int kMaxEntries = 64;
    try {
        reader.MoveFirst();
        for (int i = 0; i < kMaxEntries; ++i) {
            reader.GetName();
            reader.MoveNext();
        }
    } catch (const CQVArchiveException&) {
    }
    // Every entry goes to the same output in the private folder, cleared before each one (a
    // folder entry may have made a folder there). Only the decoding matters, and a small header may
    // rightly claim gigabytes: the extraction limit keeps each output small.
    constexpr std::uint64_t kExtractLimit = 1 << 20;
    const std::string output = WorkFolder() + "/out";
    reader.SetExtractLimit(kExtractLimit);
    try {
        reader.ExtractFirst();
        for (int i = 0; i < kMaxEntries; ++i) {
            std::string name = reader.GetExtractName();
            platform::RemoveTree(output);
            try {
                reader.Extract(output, 0);
            } catch (const CQVArchiveException& failure) {
                if (failure.GetError() == CQVArchiveException::eEndOfArchive) throw;
            }
            reader.ExtractNext();
        }
    } catch (const CQVArchiveException&) {
    }
    platform::RemoveTree(output);
}

}  // namespace zel::fuzz

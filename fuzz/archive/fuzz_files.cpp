#include "fuzz/archive/fuzz_files.h"

#include "platform/files.h"

namespace zel::fuzz {

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

// Fuzzes the factory and every back-end that accepts the file, on arbitrary bytes, and checks that
// the factory's quick test on a file's first and last bytes never rules out an archive. The first
// input byte chooses the file's extension (.zip, .rar, .arj, .ace, .cab or none), since RAR and
// ACE are also recognised by their extension.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "archive/qv_archive.h"
#include "fuzz/archive/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const kExtensions[] = {".zip", ".rar", ".arj", ".ace", ".cab", ""};
    std::string name = std::string("input") + kExtensions[data[0] % 6];
    std::string path = zel::fuzz::WriteInput(name, data + 1, size - 1);
    std::unique_ptr<CQVArchive> first(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    auto readers = CQVArchiveEngine::CreateAllUnpackers(path.c_str());
    // The factory's one reader is the first of all readers.
    if ((first == nullptr) != readers.empty()) std::abort();
    // A file that any back-end takes is never ruled out by its first and last bytes.
    std::span<const std::uint8_t> content(data + 1, size - 1);
    std::span<const std::uint8_t> head = content.first(std::min(content.size(), CQVArchiveEngine::kSniffHeadSize));
    std::span<const std::uint8_t> tail = content.last(std::min(content.size(), CQVArchiveEngine::kSniffTailSize));
    if (!readers.empty() && !CQVArchiveEngine::MayBeArchive(path.c_str(), head, tail)) std::abort();
    if (first && first->GetType() != readers.front()->GetType()) std::abort();
    for (auto& reader : readers) {
        if (reader->Open(path.c_str())) zel::fuzz::WalkReader(*reader);
    }
    return 0;
}

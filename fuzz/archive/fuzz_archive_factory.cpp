// Fuzzes the factory and every back-end that accepts the file, on arbitrary bytes. The first input
// byte chooses the file's extension (.zip, .rar, .arj, .ace, .cab or none), since RAR and ACE are
// also recognised by their extension.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

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
    if (first && first->GetType() != readers.front()->GetType()) std::abort();
    for (auto& reader : readers) {
        if (reader->Open(path.c_str())) zel::fuzz::WalkReader(*reader);
    }
    return 0;
}

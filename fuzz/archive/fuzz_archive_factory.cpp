// Fuzzes the factory and whichever back-end it picks on arbitrary bytes. The first input byte
// chooses the file's extension (.zip, .rar, .arj, .ace, .cab or none), since RAR and ACE are
// recognised by their extension.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/qv_archive.h"
#include "fuzz/archive/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const kExtensions[] = {".zip", ".rar", ".arj", ".ace", ".cab", ""};
    std::string name = std::string("input") + kExtensions[data[0] % 6];
    std::string path = zel::fuzz::WriteInput(name, data + 1, size - 1);
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    if (reader && reader->Open(path.c_str())) zel::fuzz::WalkReader(*reader);
    return 0;
}

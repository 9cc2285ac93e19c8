// Fuzzes the ARJ reader: header search, headers, both decoders, through a real file.
#include <cstddef>
#include <cstdint>

#include "archive/arj/arj_archive.h"
#include "fuzz/archive/fuzz_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string path = zel::fuzz::WriteInput("input.arj", data, size);
    CQVArjArchive reader;
    if (reader.Open(path.c_str())) zel::fuzz::WalkReader(reader);
    return 0;
}

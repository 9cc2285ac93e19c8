// Fuzzes the ACE header reader and the library around it. The input is parsed as one block
// header in memory, then written to a file and walked through the library's C functions: a
// listing pass, and an extraction pass that unpacks and checks every entry without writing it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/header_reader.h"
#include "archive/acelib/zelace.h"

namespace {

// A private folder for the input file, removed at exit.
struct WorkFolder {
    WorkFolder() {
        char name[] = "/tmp/zel-fuzz-ace-XXXXXX";
        if (mkdtemp(name) == nullptr) std::abort();
        folder = name;
        input = folder + "/in.ace";
    }
    ~WorkFolder() {
        std::remove(input.c_str());
        rmdir(folder.c_str());
    }
    std::string folder;
    std::string input;
};

const std::string& InputPath() {
    static const WorkFolder work;
    return work.input;
}

void Walk(std::uint32_t mode) {
    ZelAceOpenRecord open{};
    open.ArchiveName = InputPath().c_str();
    open.OpenMode = mode;
    void* handle = ZelAceOpen(&open);
    if (handle == nullptr) return;
    ZelAceHeaderRecord header{};
    // Every header either advances the reader or ends the loop, so the walk is bounded.
    while (ZelAceReadHeader(handle, &header) == ZELACE_SUCCESS) {
        int operation = mode == ZELACE_OPEN_EXTRACT ? ZELACE_TEST : ZELACE_SKIP;
        if (ZelAceProcess(handle, operation, nullptr) != ZELACE_SUCCESS && mode == ZELACE_OPEN_LIST) break;
    }
    ZelAceClose(handle);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        zel::ace::ParseBlock(data, size);
    } catch (const zel::ace::AceError&) {
    }
    std::FILE* file = std::fopen(InputPath().c_str(), "wb");
    if (file == nullptr) return 0;
    bool written = std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) return 0;
    Walk(ZELACE_OPEN_LIST);
    Walk(ZELACE_OPEN_EXTRACT);
    return 0;
}

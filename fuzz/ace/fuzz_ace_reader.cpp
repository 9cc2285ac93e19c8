// Fuzzes the ACE header reader and the library around it. The input is parsed as one block
// header in memory, then written to a file and walked through the library's C functions: a
// listing pass, and an extraction pass that unpacks every entry without writing it (checking it,
// or taking its beginning through the data callback).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/header_reader.h"
#include "archive/acelib/zelace.h"
#include "platform/files.h"

namespace {

// A private folder (under $TMPDIR) for the input file, removed with everything in it at exit.
const std::string& InputPath() {
    static const zel::platform::TempFolder folder("zel-fuzz-ace-");
    if (folder.path().empty()) std::abort();
    static const std::string input = folder.path() + "/in.ace";
    return input;
}

// Takes the first 4 KiB of an entry and then asks for no more.
int TakeBeginning(void* user, const std::uint8_t*, std::size_t size) {
    auto& taken = *static_cast<std::size_t*>(user);
    taken += size;
    return taken < 4096 ? 1 : 0;
}

void Walk(std::uint32_t mode) {
    ZelAceOpenRecord open{};
    open.ArchiveName = InputPath().c_str();
    open.OpenMode = mode;
    void* handle = ZelAceOpen(&open);
    if (handle == nullptr) return;
    ZelAceHeaderRecord header{};
    // Every header either advances the reader or ends the loop, so the walk is bounded.
    // In the extraction pass, every other entry goes through the data callback, which stops early.
    for (int index = 0; ZelAceReadHeader(handle, &header) == ZELACE_SUCCESS; ++index) {
        int result;
        if (mode == ZELACE_OPEN_EXTRACT && index % 2 == 1) {
            std::size_t taken = 0;
            result = ZelAceProcessData(handle, TakeBeginning, &taken);
        } else {
            result = ZelAceProcess(handle, mode == ZELACE_OPEN_EXTRACT ? ZELACE_TEST : ZELACE_SKIP, nullptr);
        }
        if (result != ZELACE_SUCCESS && mode == ZELACE_OPEN_LIST) break;
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

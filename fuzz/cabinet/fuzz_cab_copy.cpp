// Fuzzes CabCopy over arbitrary cabinet bytes, from memory. The first byte picks the run's
// options (extract all, skip every other file, extract only the last offered name again through a
// second run, follow a set whose further cabinets are the same bytes); the rest is the cabinet.
// Every run must end with every handle closed and every allocation released.
#include <cstdint>
#include <cstdlib>

#include "tests/cabinet/support/cab_harness.h"

using namespace zel::cabinet::test;

namespace {

// Output is capped so that a few bytes that expand to gigabytes only slow nothing down: the
// write after this many fails, which ends the run with a short-write error.
constexpr int kMaxWrites = 4096;

void Check(const MemoryFiles& files) {
    if (files.openHandles != 0 || files.liveAllocations != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t mode = data[0];
    Bytes cabinet(data + 1, data + size);
    MemoryFiles files;
    files.failWriteAt = kMaxWrites;
    files.Add("d/in.cab", cabinet);
    RunOptions options;
    options.followNextCabinet = (mode & 1) != 0;
    if (options.followNextCabinet) {
        // Whatever the next cabinet is called, a second copy answers under a common name.
        files.Add("d/next.cab", cabinet);
    }
    options.abortAtCopy = (mode & 0x80) ? (mode >> 4) & 7 : -1;
    RunResult first = ExtractMemory(files, "d/", "in.cab", options);
    Check(files);
    if ((mode & 2) != 0 && !first.offered.empty()) {
        // Only the last offered file: the folder is decoded from its start up to that file.
        RunOptions only;
        only.only.insert(first.offered.back());
        files.writes = 0;
        ExtractMemory(files, "d/", "in.cab", only);
        Check(files);
    }
    return 0;
}

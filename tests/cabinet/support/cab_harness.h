// Test harness for the cabinet decompressor: callbacks over in-memory files (with injectable
// failures), or over real files, and a runner that extracts every file of a cabinet through
// CabCopy and reports what came out.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/cabinet/cabinet.h"
#include "tests/support/file_bytes.h"

namespace zel::cabinet::test {

using zel::testing::ReadBytes;

using Bytes = std::vector<std::uint8_t>;

// In-memory files for the callbacks. The callbacks are plain functions, so the files of the
// running thread are kept in one thread-local store; a MemoryFiles object installs itself there
// for its lifetime.
class MemoryFiles {
public:
    MemoryFiles();
    ~MemoryFiles();
    MemoryFiles(const MemoryFiles&) = delete;
    MemoryFiles& operator=(const MemoryFiles&) = delete;

    void Add(const std::string& path, Bytes bytes) { files[path] = std::move(bytes); }
    static CabCallbacks Callbacks();

    std::map<std::string, Bytes> files;
    // Failure injection: the Nth call (counting from 1) of each kind fails, 0 = never.
    int failReadAt = 0;
    int failAllocAt = 0;
    int failWriteAt = 0;
    // Counters, and the handles and allocations still open (leak checks).
    int reads = 0, allocs = 0, writes = 0;
    int openHandles = 0;
    int liveAllocations = 0;

private:
    MemoryFiles* m_previousFiles;
    void* m_previousOpen;  // the previous store's open handles
};

// Callbacks over real files (the platform's low-level calls) with the standard heap.
CabCallbacks PosixCallbacks();

struct ExtractedFile {
    std::string name;
    Bytes data;
    bool complete = false;  // the close notification came
};

struct RunOptions {
    std::set<std::string> skip;      // names to skip
    std::set<std::string> only;      // when not empty: extract only these, skip the rest
    bool followNextCabinet = false;  // accept cabNotifyNextCabinet (otherwise refuse with -1)
    int abortAtCopy = -1;            // return -1 at this cabNotifyCopyFile (0-based)
    int closeResult = 1;             // result of cabNotifyCloseFileInfo
};

struct RunResult {
    bool ok = false;
    CabErrorRecord error;
    std::vector<ExtractedFile> files;  // extracted, in order
    std::vector<std::string> offered;  // every cabNotifyCopyFile name
    std::vector<std::string> partial;  // every cabNotifyPartialFile name
    std::vector<int> notifications;    // the sequence of notification types
    int nextCabinetCalls = 0;
    std::vector<std::int32_t> nextCabinetErrors;  // lastError of each cabNotifyNextCabinet
    std::vector<CabNotification> closeNotes;      // each cabNotifyCloseFileInfo as received
};

// Runs CabCopy on `directory` + `name` with memory callbacks over `files` (outputs are captured
// in memory too). `files` must be the active MemoryFiles.
RunResult ExtractMemory(MemoryFiles& files, const std::string& directory, const std::string& name,
                        const RunOptions& options = {});

// The same over real files; outputs are still captured in memory.
RunResult ExtractPath(const std::string& directory, const std::string& name, const RunOptions& options = {});

}  // namespace zel::cabinet::test

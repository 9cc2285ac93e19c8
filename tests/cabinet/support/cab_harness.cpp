#include "tests/cabinet/support/cab_harness.h"

#include <cstdlib>
#include <cstring>

#include "platform/low_io.h"

namespace zel::cabinet::test {
namespace {

thread_local MemoryFiles* t_files = nullptr;

// Output "files" are captured here; handles >= kOutputBase refer to them.
constexpr CabHandle kOutputBase = 1 << 20;

struct OpenFile {
    std::string path;
    std::uint32_t position = 0;
};
thread_local std::map<CabHandle, OpenFile>* t_open = nullptr;
thread_local CabHandle t_nextHandle = 1;

void* MemAlloc(std::uint32_t size) {
    MemoryFiles& f = *t_files;
    if (++f.allocs == f.failAllocAt) return nullptr;
    ++f.liveAllocations;
    return std::malloc(size == 0 ? 1 : size);
}
void MemRelease(void* p) {
    if (p == nullptr) return;
    --t_files->liveAllocations;
    std::free(p);
}
CabHandle MemOpen(const char* path, int flags, int) {
    MemoryFiles& f = *t_files;
    if ((flags & 3) == cabOpenReadOnly && f.files.count(path) == 0) return -1;
    if (flags & cabOpenTruncate) f.files[path].clear();
    CabHandle h = t_nextHandle++;
    (*t_open)[h] = OpenFile{path, 0};
    ++f.openHandles;
    return h;
}
std::uint32_t MemRead(CabHandle h, void* buffer, std::uint32_t count) {
    MemoryFiles& f = *t_files;
    if (++f.reads == f.failReadAt) return std::uint32_t(-1);
    auto it = t_open->find(h);
    if (it == t_open->end()) return std::uint32_t(-1);
    const Bytes& data = f.files[it->second.path];
    std::uint32_t pos = it->second.position;
    std::uint32_t n = pos >= data.size() ? 0 : std::uint32_t(std::min<std::size_t>(count, data.size() - pos));
    if (n > 0) std::memcpy(buffer, data.data() + pos, n);
    it->second.position += n;
    return n;
}
std::uint32_t MemWrite(CabHandle h, const void* buffer, std::uint32_t count) {
    MemoryFiles& f = *t_files;
    if (++f.writes == f.failWriteAt) return 0;
    auto it = t_open->find(h);
    if (it == t_open->end()) return std::uint32_t(-1);
    Bytes& data = f.files[it->second.path];
    std::uint32_t pos = it->second.position;
    if (data.size() < pos + count) data.resize(pos + count);
    std::memcpy(data.data() + pos, buffer, count);
    it->second.position += count;
    return count;
}
int MemClose(CabHandle h) {
    if (t_open->erase(h) == 0) return -1;
    --t_files->openHandles;
    return 0;
}
std::int32_t MemSeek(CabHandle h, std::int32_t offset, int origin) {
    auto it = t_open->find(h);
    if (it == t_open->end()) return -1;
    std::int64_t base = origin == 0 ? 0 : origin == 1 ? it->second.position : t_files->files[it->second.path].size();
    std::int64_t target = base + offset;
    if (target < 0 || target > 0x7FFFFFFF) return -1;
    it->second.position = std::uint32_t(target);
    return std::int32_t(target);
}

void* HeapAlloc(std::uint32_t size) { return std::malloc(size == 0 ? 1 : size); }
void HeapRelease(void* p) { std::free(p); }

// The notification callback shared by both runners. Output goes to memory files named "out:N"
// (memory runs) or to an in-memory capture keyed by a fake handle (real-file runs).
struct RunState {
    const RunOptions* options;
    RunResult* result;
    bool memory;
    int copies = 0;
    std::map<CabHandle, std::size_t> outputs;  // handle -> index in result->files
};

thread_local RunState* t_run = nullptr;
thread_local CabHandle t_nextOutput = kOutputBase;

std::uint32_t CaptureWrite(CabHandle h, const void* buffer, std::uint32_t count) {
    auto it = t_run->outputs.find(h);
    if (it == t_run->outputs.end()) return platform::LowWrite(h, buffer, count);
    Bytes& data = t_run->result->files[it->second].data;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    data.insert(data.end(), p, p + count);
    return count;
}
int CaptureClose(CabHandle h) {
    if (t_run->outputs.erase(h) > 0) return 0;
    return platform::LowClose(h);
}

CabHandle Notify(ECabNotification type, CabNotification* note) {
    RunState& run = *t_run;
    RunResult& result = *run.result;
    result.notifications.push_back(type);
    switch (type) {
        case cabNotifyCopyFile: {
            std::string name = note->first;
            result.offered.push_back(name);
            if (run.copies++ == run.options->abortAtCopy) return -1;
            if (run.options->skip.count(name) || (!run.options->only.empty() && !run.options->only.count(name))) {
                return 0;
            }
            result.files.push_back(ExtractedFile{name, {}});
            if (run.memory) {
                std::string path = "out:" + std::to_string(result.files.size() - 1);
                CabHandle h = MemOpen(path.c_str(), cabOpenWriteOnly | cabOpenCreate | cabOpenTruncate, 0);
                run.outputs[h] = result.files.size() - 1;
                return h;
            }
            CabHandle h = t_nextOutput++;
            run.outputs[h] = result.files.size() - 1;
            return h;
        }
        case cabNotifyCloseFileInfo: {
            result.closeNotes.push_back(*note);
            auto it = run.outputs.find(note->handle);
            if (it != run.outputs.end()) {
                ExtractedFile& file = result.files[it->second];
                file.complete = true;
                if (run.memory) file.data = t_files->files["out:" + std::to_string(it->second)];
                run.outputs.erase(it);
            }
            if (run.memory) MemClose(note->handle);
            return run.options->closeResult;
        }
        case cabNotifyPartialFile: result.partial.push_back(note->first); return 0;
        case cabNotifyNextCabinet:
            // Accept once per cabinet; a retry after a failed open is refused.
            ++result.nextCabinetCalls;
            result.nextCabinetErrors.push_back(note->lastError);
            if (!run.options->followNextCabinet || note->lastError != cabErrNone) return -1;
            return 0;
        default: return 0;
    }
}

RunResult Run(const CabCallbacks& callbacks, const std::string& directory, const std::string& name,
              const RunOptions& options, bool memory) {
    RunResult result;
    RunState state{&options, &result, memory, 0, {}};
    RunState* saved = t_run;
    t_run = &state;
    CabContext* context = CabCreate(callbacks, 1, &result.error);
    if (context != nullptr) {
        result.ok = CabCopy(context, name.c_str(), directory.c_str(), 0, Notify, nullptr, nullptr);
        CabDestroy(context);
    }
    // Outputs the decompressor closed itself after a failure still hold their bytes.
    if (memory) {
        for (auto& [h, index] : state.outputs)
            result.files[index].data = t_files->files["out:" + std::to_string(index)];
    }
    t_run = saved;
    return result;
}

}  // namespace

// Stores nest: a store made while another is active replaces it until it ends.
MemoryFiles::MemoryFiles() : m_previousFiles(t_files), m_previousOpen(t_open) {
    t_files = this;
    t_open = new std::map<CabHandle, OpenFile>;
}
MemoryFiles::~MemoryFiles() {
    delete t_open;
    t_open = static_cast<std::map<CabHandle, OpenFile>*>(m_previousOpen);
    t_files = m_previousFiles;
}

CabCallbacks MemoryFiles::Callbacks() {
    return CabCallbacks{MemAlloc, MemRelease, MemOpen, MemRead, MemWrite, MemClose, MemSeek};
}

CabCallbacks PosixCallbacks() {
    return CabCallbacks{HeapAlloc,          HeapRelease,        platform::LowOpen, platform::LowRead,
                        platform::LowWrite, platform::LowClose, platform::LowSeek};
}

RunResult ExtractMemory(MemoryFiles& files, const std::string& directory, const std::string& name,
                        const RunOptions& options) {
    (void)files;
    return Run(MemoryFiles::Callbacks(), directory, name, options, true);
}

RunResult ExtractPath(const std::string& directory, const std::string& name, const RunOptions& options) {
    CabCallbacks callbacks = PosixCallbacks();
    callbacks.write = CaptureWrite;
    callbacks.close = CaptureClose;
    return Run(callbacks, directory, name, options, false);
}

}  // namespace zel::cabinet::test

#include "tests/cabinet/support/mspack_oracle.h"

#include <mspack.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "archive/cabinet/cab_decoder.h"

namespace zel::cabinet::test {
namespace {

struct MemFile {
    Bytes* data;
    std::size_t position;
};

struct MemSystem {
    mspack_system sys;  // first, so that a mspack_system* is a MemSystem*
    const Bytes* input;
    Bytes output;
    std::size_t outputLimit;
};

// The running extraction's system (the write call carries only the file).
thread_local MemSystem* t_system = nullptr;

mspack_file* SysOpen(mspack_system* self, const char* name, int mode) {
    auto* system = reinterpret_cast<MemSystem*>(self);
    auto* file = new MemFile{nullptr, 0};
    if (mode == MSPACK_SYS_OPEN_READ && std::strcmp(name, "in") == 0) {
        file->data = const_cast<Bytes*>(system->input);
    } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, "out") == 0) {
        system->output.clear();
        file->data = &system->output;
    } else {
        delete file;
        return nullptr;
    }
    return reinterpret_cast<mspack_file*>(file);
}
// libmspack has been seen to read from a file it failed to open (a damaged set): every call
// tolerates a null file.
void SysClose(mspack_file* f) { delete reinterpret_cast<MemFile*>(f); }
int SysRead(mspack_file* f, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemFile*>(f);
    if (file == nullptr || bytes < 0) return -1;
    std::size_t left = file->position < file->data->size() ? file->data->size() - file->position : 0;
    std::size_t n = std::min<std::size_t>(left, std::size_t(bytes));
    if (n > 0) std::memcpy(buffer, file->data->data() + file->position, n);
    file->position += n;
    return int(n);
}
int SysWrite(mspack_file* f, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemFile*>(f);
    if (file == nullptr || bytes < 0) return -1;
    auto* system = t_system;
    if (system != nullptr && system->outputLimit != 0 && file->data == &system->output &&
        file->data->size() + std::size_t(bytes) > system->outputLimit) {
        return -1;
    }
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    file->data->insert(file->data->end(), p, p + bytes);
    return bytes;
}
int SysSeek(mspack_file* f, off_t offset, int mode) {
    auto* file = reinterpret_cast<MemFile*>(f);
    if (file == nullptr) return -1;
    off_t base = mode == MSPACK_SYS_SEEK_START ? 0
                 : mode == MSPACK_SYS_SEEK_CUR ? off_t(file->position)
                                               : off_t(file->data->size());
    off_t target = base + offset;
    if (target < 0 || target > off_t(file->data->size())) return -1;
    file->position = std::size_t(target);
    return 0;
}
off_t SysTell(mspack_file* f) { return f == nullptr ? -1 : off_t(reinterpret_cast<MemFile*>(f)->position); }
void SysMessage(mspack_file*, const char*, ...) {}
void* SysAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void SysFree(void* p) { std::free(p); }
void SysCopy(void* src, void* dst, size_t bytes) { std::memmove(dst, src, bytes); }

}  // namespace

OracleResult MspackExtract(const Bytes& cabinet, std::size_t outputLimit) {
    OracleResult result;
    MemSystem system{
        {SysOpen, SysClose, SysRead, SysWrite, SysSeek, SysTell, SysMessage, SysAlloc, SysFree, SysCopy, nullptr},
        &cabinet,
        {},
        outputLimit};
    t_system = &system;
    mscab_decompressor* cabd = mspack_create_cab_decompressor(&system.sys);
    if (cabd == nullptr) {
        t_system = nullptr;
        return result;
    }
    mscabd_cabinet* cab = cabd->open(cabd, const_cast<char*>("in"));
    if (cab != nullptr) {
        result.opened = true;
        for (mscabd_file* file = cab->files; file != nullptr; file = file->next) {
            OracleFile out;
            out.name = file->filename;
            out.ok = cabd->extract(cabd, file, const_cast<char*>("out")) == MSPACK_ERR_OK;
            out.data = system.output;
            result.files.push_back(std::move(out));
        }
        cabd->close(cabd, cab);
    }
    mspack_destroy_cab_decompressor(cabd);
    t_system = nullptr;
    return result;
}

std::string CompareWithOracle(const RunResult& ours, const OracleResult& oracle) {
    // Our run extracts files in list order and stops at the first failure; match them by position
    // among the oracle's files of the same name.
    if (!oracle.opened) return "";
    std::size_t next = 0;
    for (const auto& file : ours.files) {
        while (next < oracle.files.size() && oracle.files[next].name != file.name) ++next;
        if (next == oracle.files.size()) return "file " + file.name + " unknown to the oracle";
        const OracleFile& theirs = oracle.files[next++];
        if (file.complete && theirs.ok && theirs.data != file.data) return "file " + file.name + " differs";
    }
    return "";
}

Differential DecodeBoth(const Bytes& cabinet, std::size_t outputLimit) {
    Differential result;
    {
        MemoryFiles files;
        if (outputLimit != 0) files.failWriteAt = int(outputLimit / kCabMaxBlockSize) + 1;
        files.Add("in", cabinet);
        result.ours = ExtractMemory(files, "", "in");
    }
    result.theirs = MspackExtract(cabinet, outputLimit);
    std::size_t next = 0;
    for (const auto& file : result.ours.files) {
        std::size_t at = next;
        while (at < result.theirs.files.size() && result.theirs.files[at].name != file.name) ++at;
        const OracleFile* theirs = at < result.theirs.files.size() ? &result.theirs.files[at] : nullptr;
        if (theirs != nullptr) next = at + 1;
        const bool theirsOk = theirs != nullptr && theirs->ok;
        if (file.complete && theirsOk) {
            ++result.agree;
            if (theirs->data != file.data && result.mismatch.empty())
                result.mismatch = "file " + file.name + " differs";
        } else if (file.complete) {
            ++result.oursOnly;
        } else if (theirsOk) {
            ++result.theirsOnly;
        } else {
            ++result.bothFail;
        }
    }
    // Files that libmspack extracted after the one where our run stopped.
    if (!result.ours.ok) {
        for (std::size_t i = next; i < result.theirs.files.size(); ++i) {
            if (result.theirs.files[i].ok) ++result.theirsOnly;
        }
    }
    return result;
}

}  // namespace zel::cabinet::test

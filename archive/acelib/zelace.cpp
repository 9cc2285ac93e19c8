// The C face of the library: result codes instead of exceptions, and nothing thrown across it.
#include "archive/acelib/zelace.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/ace_format.h"
#include "archive/acelib/archive_reader.h"
#include "fileio/file.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kPointerGrowth = sizeof(void*) - 4;
static_assert(offsetof(ZelAceOpenRecord, OpenMode) == 4 + kPointerGrowth);
static_assert(offsetof(ZelAceOpenRecord, OpenResult) == 8 + kPointerGrowth);
static_assert(offsetof(ZelAceOpenRecord, CommentBuffer) == 71 + kPointerGrowth);
static_assert(offsetof(ZelAceOpenRecord, CommentBufferSize) == 75 + 2 * kPointerGrowth);
static_assert(sizeof(ZelAceOpenRecord) == 95 + 2 * kPointerGrowth);
static_assert(offsetof(ZelAceHeaderRecord, FileName) == 260);
static_assert(offsetof(ZelAceHeaderRecord, FileAttr) == 548);
static_assert(offsetof(ZelAceHeaderRecord, CommentBuffer) == 552);
static_assert(offsetof(ZelAceHeaderRecord, CommentBufferSize) == 556 + kPointerGrowth);
static_assert(sizeof(ZelAceHeaderRecord) == 568 + kPointerGrowth);

using zel::ace::AceError;

struct Handle {
    std::unique_ptr<zel::ace::ArchiveReader> reader;
    std::uint32_t mode = ZELACE_OPEN_LIST;
    bool hasEntry = false;
    std::uint64_t unpacked = 0;  // by the last ZelAceProcess or ZelAceProcessData
};

// Counts what the decompressor hands on, before the sink decides what to keep of it.
class CountingSink final : public zel::ace::ByteSink {
public:
    CountingSink(zel::ace::ByteSink& inner, std::uint64_t& count) : m_inner(inner), m_count(count) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        m_count += size;
        m_inner.Write(data, size);
    }

private:
    zel::ace::ByteSink& m_inner;
    std::uint64_t& m_count;
};

// Unpacks the current entry into `sink`, counting what was unpacked.
void UnpackCounted(Handle& handle, zel::ace::ByteSink& sink) {
    CountingSink counted(sink, handle.unpacked);
    handle.reader->Unpack(counted);
}

int CodeFor(const AceError& error) {
    switch (error.kind()) {
        case AceError::kData: return ZELACE_ERROR_DATA;
        case AceError::kFormat: return ZELACE_ERROR_FORMAT;
        case AceError::kHeaderCrc: return ZELACE_ERROR_HEADER_CRC;
        case AceError::kEncrypted: return ZELACE_ERROR_ENCRYPTED;
        case AceError::kIo: return ZELACE_ERROR_OPEN;
        case AceError::kVolume: return ZELACE_ERROR_VOLUME;
        case AceError::kUnsupported: return ZELACE_ERROR_METHOD;
    }
    return ZELACE_ERROR_FORMAT;
}

void CopyName(char (&field)[260], const std::string& text) {
    std::size_t length = std::min(text.size(), sizeof field - 1);
    std::memcpy(field, text.data(), length);
    std::memset(field + length, 0, sizeof field - length);
}

// Writes an entry to a new file beside its destination; only a complete entry whose CRC matched
// replaces the destination, so a failure leaves nothing half-written behind.
class FileSink final : public zel::ace::ByteSink {
public:
    bool Open(const std::string& temp) { return m_file.Open(temp, CFile::modeWrite | CFile::modeCreate); }
    void Write(const std::uint8_t* data, std::size_t size) override {
        try {
            while (size > 0) {
                auto piece = static_cast<UINT>(std::min<std::size_t>(size, 1u << 30));
                m_file.Write(data, piece);
                data += piece;
                size -= piece;
            }
        } catch (const CFileException&) {
            throw AceError(AceError::kIo, "cannot write the output");
        }
    }
    bool Close() {
        try {
            m_file.Close();
            return true;
        } catch (const CFileException&) {
            return false;
        }
    }

private:
    CFile m_file;
};

// Hands the data to the caller's callback. Once the callback wants no more (or fails), a
// non-solid entry stops there; a solid one is unpacked to its end, the rest dropped.
class CallbackSink final : public zel::ace::ByteSink {
public:
    CallbackSink(ZelAceDataCallback callback, void* user, bool may_stop)
        : m_callback(callback), m_user(user), m_mayStop(may_stop) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (m_done || size == 0) return;
        int answer = m_callback(m_user, data, size);
        if (answer == 1) return;
        m_done = true;
        m_failed = answer != 0;
        if (m_mayStop) throw zel::ace::StopUnpacking{};
    }
    bool Failed() const { return m_failed; }

private:
    ZelAceDataCallback m_callback;
    void* m_user;
    bool m_mayStop;
    bool m_done = false;
    bool m_failed = false;
};

int Skip(Handle& handle) {
    auto& reader = *handle.reader;
    const auto& entry = reader.Current();
    // In a solid archive later entries refer back into this one's output, so an extraction pass
    // unpacks what it skips. A failure there shows later as those entries' own failure.
    if (handle.mode == ZELACE_OPEN_EXTRACT && reader.IsSolid() && !entry.IsDirectory() && !entry.IsEncrypted() &&
        entry.originalSize > 0) {
        zel::ace::NullSink sink;
        try {
            UnpackCounted(handle, sink);
        } catch (const AceError& error) {
            if (error.kind() == AceError::kIo) return ZELACE_ERROR_OPEN;
        }
        return ZELACE_SUCCESS;
    }
    reader.Skip();
    return ZELACE_SUCCESS;
}

int Extract(Handle& handle, const char* destination) {
    auto& reader = *handle.reader;
    if (reader.Current().IsDirectory()) {
        reader.Skip();  // the caller creates directories; there is no data to write
        return ZELACE_SUCCESS;
    }
    if (reader.Current().IsEncrypted()) {
        reader.Skip();
        return ZELACE_ERROR_ENCRYPTED;
    }
    // A folder, device, FIFO, socket or symbolic link in the destination's place is never replaced.
    zel::platform::EntryKind kind = zel::platform::KindOf(destination);
    bool replaceable = kind == zel::platform::EntryKind::file || kind == zel::platform::EntryKind::missing;
    zel::platform::TempFileGuard temp(replaceable ? zel::platform::CreateNewFileBeside(destination) : std::string());
    FileSink sink;
    if (temp.path().empty() || !sink.Open(temp.path())) {
        // Passed over as a skipped entry is, so that a solid archive's later entries still
        // find this one's bytes in the window.
        Skip(handle);
        return ZELACE_ERROR_WRITE;
    }
    try {
        UnpackCounted(handle, sink);
    } catch (const AceError& error) {
        return error.kind() == AceError::kIo ? ZELACE_ERROR_WRITE : CodeFor(error);
    }
    if (!sink.Close()) return ZELACE_ERROR_WRITE;
    std::string written = temp.path();
    temp.Release();  // renamed over the destination, or removed on failure
    if (!zel::platform::RenameOverRegularFile(written, destination)) return ZELACE_ERROR_WRITE;
    return ZELACE_SUCCESS;
}

int ProcessData(Handle& handle, ZelAceDataCallback callback, void* user) {
    auto& reader = *handle.reader;
    if (reader.Current().IsDirectory()) {
        reader.Skip();
        return ZELACE_SUCCESS;
    }
    CallbackSink sink(callback, user, !reader.IsSolid());
    try {
        UnpackCounted(handle, sink);
    } catch (const AceError& error) {
        return CodeFor(error);
    }
    return sink.Failed() ? ZELACE_ERROR_WRITE : ZELACE_SUCCESS;
}

}  // namespace

extern "C" {

ZELACE_API void* ZelAceOpen(ZelAceOpenRecord* record) {
    if (record == nullptr) return nullptr;
    if (record->ArchiveName == nullptr ||
        (record->OpenMode != ZELACE_OPEN_LIST && record->OpenMode != ZELACE_OPEN_EXTRACT)) {
        record->OpenResult = ZELACE_ERROR_PARAMETER;
        return nullptr;
    }
    try {
        auto handle = std::make_unique<Handle>();
        handle->reader = zel::ace::ArchiveReader::Open(record->ArchiveName);
        handle->mode = record->OpenMode;
        record->OpenResult = ZELACE_SUCCESS;
        return handle.release();
    } catch (const AceError& error) {
        record->OpenResult = CodeFor(error);
    } catch (const std::bad_alloc&) {
        record->OpenResult = ZELACE_ERROR_MEMORY;
    }
    return nullptr;
}

ZELACE_API int ZelAceClose(void* handle) {
    delete static_cast<Handle*>(handle);
    return ZELACE_SUCCESS;
}

ZELACE_API int ZelAceReadHeader(void* opaque, ZelAceHeaderRecord* header) {
    if (opaque == nullptr || header == nullptr) return ZELACE_ERROR_PARAMETER;
    auto& handle = *static_cast<Handle*>(opaque);
    handle.hasEntry = false;
    try {
        if (!handle.reader->Next()) return ZELACE_END_ARCHIVE;
        const auto& entry = handle.reader->Current();
        if (entry.name.size() > zel::ace::kMaxNameLength) return ZELACE_ERROR_FORMAT;
        std::string name = entry.name;
        for (char& c : name) {
            if (c == '/') c = '\\';
        }
        CopyName(header->ArchiveName, handle.reader->VolumePath());
        CopyName(header->FileName, name);
        header->PackedSize = entry.packedSize;
        header->OriginalSize = entry.originalSize;
        header->FileCrc = entry.crc;
        header->FileTime = entry.time;
        header->HeaderFlags = entry.flags;
        header->Method = entry.method;
        header->DictionaryBits = static_cast<std::uint8_t>(entry.DictionaryBits());
        header->FileAttr = entry.attributes;
        handle.hasEntry = true;
        return ZELACE_SUCCESS;
    } catch (const AceError& error) {
        return CodeFor(error);
    } catch (const std::bad_alloc&) {
        return ZELACE_ERROR_MEMORY;
    }
}

ZELACE_API int ZelAceProcess(void* opaque, int operation, const char* destination) {
    if (opaque == nullptr) return ZELACE_ERROR_PARAMETER;
    auto& handle = *static_cast<Handle*>(opaque);
    handle.unpacked = 0;
    if (!handle.hasEntry) return ZELACE_ERROR_PARAMETER;
    handle.hasEntry = false;
    try {
        switch (operation) {
            case ZELACE_SKIP: return Skip(handle);
            case ZELACE_TEST: {
                if (handle.reader->Current().IsDirectory()) {
                    handle.reader->Skip();
                    return ZELACE_SUCCESS;
                }
                zel::ace::NullSink sink;
                UnpackCounted(handle, sink);
                return ZELACE_SUCCESS;
            }
            case ZELACE_EXTRACT:
                if (destination == nullptr) {
                    Skip(handle);
                    return ZELACE_ERROR_PARAMETER;
                }
                return Extract(handle, destination);
            default: Skip(handle); return ZELACE_ERROR_PARAMETER;
        }
    } catch (const AceError& error) {
        return CodeFor(error);
    } catch (const std::bad_alloc&) {
        return ZELACE_ERROR_MEMORY;
    }
}

ZELACE_API int ZelAceProcessData(void* opaque, ZelAceDataCallback callback, void* user) {
    if (opaque == nullptr) return ZELACE_ERROR_PARAMETER;
    auto& handle = *static_cast<Handle*>(opaque);
    handle.unpacked = 0;
    if (!handle.hasEntry) return ZELACE_ERROR_PARAMETER;
    handle.hasEntry = false;
    try {
        if (callback == nullptr) {
            Skip(handle);
            return ZELACE_ERROR_PARAMETER;
        }
        return ProcessData(handle, callback, user);
    } catch (const AceError& error) {
        return CodeFor(error);
    } catch (const std::bad_alloc&) {
        return ZELACE_ERROR_MEMORY;
    }
}

ZELACE_API const char* ZelAceVolumeName(void* opaque, uint32_t index) {
    if (opaque == nullptr) return nullptr;
    const auto& opened = static_cast<Handle*>(opaque)->reader->OpenedVolumes();
    return index < opened.size() ? opened[index].c_str() : nullptr;
}

ZELACE_API uint64_t ZelAceUnpackedBytes(void* opaque) {
    return opaque == nullptr ? 0 : static_cast<Handle*>(opaque)->unpacked;
}

}  // extern "C"

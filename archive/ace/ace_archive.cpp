#include "archive/ace/ace_archive.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "archive/acelib/ace_format.h"
#include "archive/acelib/zelace.h"
#include "archive/backends.h"
#include "archive/entry_output.h"
#include "archive/reader_support.h"
#include "framework/codepage_oem.h"
#include "framework/little_endian.h"

using zel::arcopen::ThrowEnd;
using zel::arcopen::ThrowFailure;

namespace {

// The size of the comment buffer handed to the library.
constexpr std::uint32_t kCommentSize = 16384;
// The attribute bit that marks a folder entry.
constexpr std::uint32_t kDirectoryAttribute = 0x10;

// The header record's name (OEM code page) as the interface returns it; folders end in "\".
std::string EntryName(const ZelAceHeaderRecord& header) {
    std::string stored(header.FileName, ::strnlen(header.FileName, sizeof header.FileName));
    std::string name = zel::codepage::Cp437ToUtf8(stored);
    if ((header.FileAttr & kDirectoryAttribute) && (name.empty() || name.back() != '\\')) name += '\\';
    return name;
}

// The library's data callback: writes into the entry's output, and says when the limit is reached.
int WriteToOutput(void* user, const std::uint8_t* data, std::size_t size) {
    try {
        return static_cast<zel::arcopen::CEntryOutput*>(user)->Write(data, size) ? 1 : 0;
    } catch (const CQVArchiveException&) {
        return -1;
    }
}

}  // namespace

struct CQVAceArchive::State {
    void* handle = nullptr;
    std::string path;
    std::vector<char> comments = std::vector<char>(kCommentSize);
    ZelAceOpenRecord open{};
    ZelAceHeaderRecord header{};
    bool header_read = false;         // a header was read and its entry not yet processed
    std::uint64_t unpacked = 0;       // by the library since the last Extract reported it
    std::uint32_t volumes_noted = 0;  // of the volumes the library opened
    zel::arcopen::CEntryNameList names;

    // Opens the archive in `mode`; false (and no handle) unless the library reports success.
    bool OpenArchive(std::uint32_t mode) {
        open = ZelAceOpenRecord{};
        open.ArchiveName = path.c_str();
        open.OpenMode = mode;
        open.CommentBuffer = comments.data();
        open.CommentBufferSize = kCommentSize;
        handle = ZelAceOpen(&open);
        unpacked = 0;
        volumes_noted = 0;
        if (handle != nullptr && open.OpenResult != ZELACE_SUCCESS) {
            ZelAceClose(handle);
            handle = nullptr;
        }
        return handle != nullptr;
    }

    int ReadHeader() {
        header = ZelAceHeaderRecord{};
        header.CommentBuffer = comments.data();
        header.CommentBufferSize = kCommentSize;
        int result = ZelAceReadHeader(handle, &header);
        header_read = result == ZELACE_SUCCESS;
        return result;
    }

    int Process(int operation, const char* destination) {
        header_read = false;
        int result = ZelAceProcess(handle, operation, destination);
        unpacked += ZelAceUnpackedBytes(handle);
        return result;
    }

    int ProcessData(zel::arcopen::CEntryOutput& output) {
        header_read = false;
        int result = ZelAceProcessData(handle, WriteToOutput, &output);
        unpacked += ZelAceUnpackedBytes(handle);
        return result;
    }
};

CQVAceArchive::CQVAceArchive() : m_state(new State) {}

CQVAceArchive::~CQVAceArchive() { Close(); }

int CQVAceArchive::Open(const char* path) {
    Close();
    State& s = *m_state;
    s.names.Clear();
    ClearFollowedVolumes();
    if (path == nullptr) return 0;
    s.path = path;
    if (!s.OpenArchive(ZELACE_OPEN_LIST)) return 0;
    int result;
    while ((result = s.ReadHeader()) == ZELACE_SUCCESS) {
        s.names.Add(EntryName(s.header));
        if (s.Process(ZELACE_SKIP, nullptr) != ZELACE_SUCCESS) {
            result = -1;
            break;
        }
    }
    NoteOpenedVolumes();
    // Anything but the normal end means a damaged archive: no list for the caller. The handle
    // stays open until Close.
    if (result != ZELACE_END_ARCHIVE) return 0;
    Close();
    return 1;
}

void CQVAceArchive::Close() {
    State& s = *m_state;
    if (s.handle == nullptr) return;
    ZelAceClose(s.handle);
    s.handle = nullptr;
    s.header_read = false;
}

void CQVAceArchive::MoveFirst() { m_state->names.MoveFirst(); }

CString CQVAceArchive::GetName() { return m_state->names.GetName(); }

void CQVAceArchive::MoveNext() { m_state->names.MoveNext(); }

void CQVAceArchive::ExtractFirst() {
    Close();
    ClearFollowedVolumes();
    if (!m_state->OpenArchive(ZELACE_OPEN_EXTRACT)) ThrowFailure();
}

CString CQVAceArchive::GetExtractName() {
    State& s = *m_state;
    if (s.handle == nullptr) ThrowEnd();
    // A header that was read but never processed is passed over through the library first, so
    // that a solid archive's window still receives that entry's bytes.
    if (s.header_read && s.Process(ZELACE_SKIP, nullptr) != ZELACE_SUCCESS) ThrowFailure();
    // The normal end is the end; a header that cannot be read ends the pass as a failure.
    int result = s.ReadHeader();
    NoteOpenedVolumes();
    if (result == ZELACE_END_ARCHIVE) ThrowEnd();
    if (result != ZELACE_SUCCESS) ThrowFailure();
    return EntryName(s.header);
}

void CQVAceArchive::NoteOpenedVolumes() {
    State& s = *m_state;
    if (s.handle == nullptr) return;
    while (const char* volume = ZelAceVolumeName(s.handle, s.volumes_noted)) {
        NoteVolume(s.path, volume);
        ++s.volumes_noted;
    }
}

void CQVAceArchive::Extract(CString destination, int skip) {
    State& s = *m_state;
    SetExtractTruncated(false);
    // What the library unpacked since the last Extract, however this one ends: passing over an
    // entry that an earlier Extract left unprocessed is charged here.
    zel::arcopen::OnScopeExit report_unpacked([&] {
        SetExtractDecodedBytes(s.unpacked);
        s.unpacked = 0;
    });
    if (s.handle == nullptr || !s.header_read) ThrowFailure();
    if (skip) {
        if (s.Process(ZELACE_SKIP, nullptr) != ZELACE_SUCCESS) ThrowFailure();
        return;
    }
    // Every failure below leaves the header unprocessed; the next GetExtractName passes over it
    // through the library, which in a solid archive unpacks it for the entries after it.
    if ((s.header.FileAttr & kDirectoryAttribute) || zel::arcopen::NamesDirectory(destination)) {
        zel::arcopen::MakeEntryDirectory(destination);
        return;
    }
    zel::arcopen::CEntryOutput output(destination, GetExtractLimit());
    if (s.ProcessData(output) != ZELACE_SUCCESS) ThrowFailure();
    output.Commit();
    SetExtractTruncated(output.Truncated());
}

namespace zel::arcopen {

namespace {

// A main header is a block (CRC-16, size, type 0, flags) whose signature follows the flags.
bool IsAceMainHeaderAt(FileHead head, std::size_t block) {
    using namespace zel::ace;
    std::size_t signature = block + kSignatureOffset;
    if (head.size() < signature + kSignatureSize) return false;
    if (std::memcmp(head.data() + signature, kSignature, kSignatureSize) != 0) return false;
    std::size_t size = LoadLe16(head.data() + block + kBlockSizeOffset, head.data() + head.size());
    return head[block + kBlockPrefixSize] == kTypeMain && size >= kSignatureOffset - kBlockPrefixSize + kSignatureSize;
}

}  // namespace

// Jumps from one "*" to the next: each may begin the signature of a block that starts 7 bytes
// earlier.
bool HasAceSignature(FileHead head) {
    using zel::ace::kSignatureOffset;
    const std::uint8_t* begin = head.data();
    const std::uint8_t* end = begin + std::min(head.size(), kAceSearchSize + kSignatureOffset);
    for (const std::uint8_t* at = begin + std::min(head.size(), kSignatureOffset); at < end; ++at) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, '*', static_cast<std::size_t>(end - at)));
        if (at == nullptr) return false;
        if (IsAceMainHeaderAt(head, static_cast<std::size_t>(at - begin) - kSignatureOffset)) return true;
    }
    return false;
}

bool StartsAsAce(FileHead head) { return IsAceMainHeaderAt(head, 0); }

CQVArchive* NewAceReader() {
    try {
        return new CQVAceArchive();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zel::arcopen

#include "archive/rar/rar_archive.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// The library's header expects the platform macro and defines CALLBACK, HANDLE, LONG, UINT and
// PASCAL; keep it last so that those macros cannot reach our own headers.
#include "archive/backends.h"
#include "archive/reader_support.h"
#include "framework/codepage.h"
#include "framework/codepage_oem.h"
#include "platform/directories.h"
#include "platform/file.h"
#define _UNIX
#include <unrar/dll.hpp>

using zel::arcopen::ThrowEnd;
using zel::arcopen::ThrowFailure;

namespace {

// The size of the comment buffer handed to the library.
constexpr unsigned kCommentSize = 16384;
// The library's result codes that the reader tells apart.
constexpr int kResultSuccess = ERAR_SUCCESS;
constexpr int kResultBadData = ERAR_BAD_DATA;
// In the C locale the library maps each byte of an undecodable 8-bit name into this private-use
// area, and marks such a name with a leading U+FFFE; the name was stored in the DOS code page.
constexpr wchar_t kMappedByteFirst = 0xE080;
constexpr wchar_t kMappedByteLast = 0xE0FF;
constexpr wchar_t kMappedNameMark = 0xFFFE;

// The entry's name as UTF-8 with "\" separators and, for a folder, a trailing "\".
std::string EntryName(const RARHeaderDataEx& header) {
    std::string name;
    if (header.FileNameW[0] != 0) {
        for (size_t i = 0; i < sizeof header.FileNameW / sizeof(wchar_t) && header.FileNameW[i] != 0; ++i) {
            wchar_t unit = header.FileNameW[i];
            if (unit == kMappedNameMark) continue;
            char32_t code_point = static_cast<char32_t>(unit);
            if (unit >= kMappedByteFirst && unit <= kMappedByteLast) {
                code_point = zel::codepage::Cp437ToCodePoint(static_cast<unsigned char>(unit - 0xE000));
            } else if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point < 0xE000)) {
                code_point = U'\uFFFD';
            }
            zel::codepage::AppendUtf8(name, code_point);
        }
    } else {
        std::string stored(header.FileName, ::strnlen(header.FileName, sizeof header.FileName));
        name = zel::codepage::Cp437ToUtf8(stored);
    }
    zel::arcopen::UseBackslashes(name);
    if ((header.Flags & RHDF_DIRECTORY) && (name.empty() || name.back() != '\\')) name += '\\';
    return name;
}

// Where the library's data callback delivers an entry's bytes during one Extract.
struct DataSink {
    CFile* output = nullptr;
    bool failed = false;
};

int CALLBACK OnLibraryEvent(UINT message, LPARAM user_data, LPARAM p1, LPARAM p2) {
    auto* sink = reinterpret_cast<DataSink*>(user_data);
    switch (message) {
        case UCM_PROCESSDATA:
            if (sink == nullptr || sink->output == nullptr) return 1;
            try {
                sink->output->Write(reinterpret_cast<const void*>(p1), static_cast<UINT>(p2));
            } catch (const CFileException&) {
                sink->failed = true;
                return -1;
            }
            return 1;
        default:
            // Never wait for a password or for another volume: refuse, and the entry fails.
            return -1;
    }
}

}  // namespace

struct CQVRarArchive::State {
    HANDLE handle = nullptr;
    std::string path;
    std::vector<char> comments = std::vector<char>(kCommentSize);
    RARHeaderDataEx header{};
    bool header_read = false;
    zel::arcopen::CEntryNameList names;
    DataSink sink;

    // Opens the archive in `mode`; false (and no handle) when the library refuses it.
    bool OpenArchive(unsigned mode) {
        RAROpenArchiveDataEx request{};
        request.ArcName = path.data();
        request.OpenMode = mode;
        request.CmtBuf = comments.data();
        request.CmtBufSize = kCommentSize;
        request.Callback = OnLibraryEvent;
        request.UserData = reinterpret_cast<LPARAM>(&sink);
        handle = RAROpenArchiveEx(&request);
        if (handle != nullptr && request.OpenResult != kResultSuccess) {
            RARCloseArchive(handle);
            handle = nullptr;
        }
        return handle != nullptr;
    }

    int ReadHeader() {
        header = RARHeaderDataEx{};
        header.CmtBuf = comments.data();
        header.CmtBufSize = kCommentSize;
        int result = RARReadHeaderEx(handle, &header);
        header_read = result == kResultSuccess;
        return result;
    }

    int Process(int operation) {
        header_read = false;
        return RARProcessFile(handle, operation, nullptr, nullptr);
    }
};

CQVRarArchive::CQVRarArchive() : m_state(new State) {}

CQVRarArchive::~CQVRarArchive() { Close(); }

int CQVRarArchive::Open(const char* path) {
    Close();
    State& s = *m_state;
    s.names.Clear();
    if (path == nullptr) return 0;
    s.path = path;
    if (!s.OpenArchive(RAR_OM_LIST)) return 0;
    int result;
    while ((result = s.ReadHeader()) == kResultSuccess) {
        s.names.Add(EntryName(s.header));
        // Listing only skips, so an encrypted entry does no harm here.
        if (s.Process(RAR_SKIP) != kResultSuccess) break;
    }
    // Bad data in a header: the archive is damaged. The handle stays open until Close.
    if (result == kResultBadData) return 0;
    Close();
    return 1;
}

void CQVRarArchive::Close() {
    State& s = *m_state;
    if (s.handle == nullptr) return;
    RARCloseArchive(s.handle);
    s.handle = nullptr;
    s.header_read = false;
}

void CQVRarArchive::MoveFirst() { m_state->names.MoveFirst(); }

CString CQVRarArchive::GetName() { return m_state->names.GetName(); }

void CQVRarArchive::MoveNext() { m_state->names.MoveNext(); }

void CQVRarArchive::ExtractFirst() {
    Close();
    if (!m_state->OpenArchive(RAR_OM_EXTRACT)) ThrowFailure();
}

CString CQVRarArchive::GetExtractName() {
    State& s = *m_state;
    if (s.handle == nullptr) ThrowEnd();
    // A header that was read but never processed is passed over first, so that the library
    // stays in step when a caller asks for the name twice.
    if (s.header_read && s.Process(RAR_SKIP) != kResultSuccess) ThrowEnd();
    if (s.ReadHeader() != kResultSuccess) ThrowEnd();
    return EntryName(s.header);
}

void CQVRarArchive::Extract(CString destination, int skip) {
    State& s = *m_state;
    if (s.handle == nullptr || !s.header_read) ThrowFailure();
    bool is_directory = (s.header.Flags & RHDF_DIRECTORY) != 0 || zel::arcopen::NamesDirectory(destination);
    if (skip || is_directory) {
        if (!skip) zel::platform::MakeDirectory(zel::arcopen::DirectoryPath(destination));
        if (s.Process(RAR_SKIP) != kResultSuccess) ThrowFailure();
        return;
    }
    if (s.header.Flags & RHDF_ENCRYPTED) {
        s.Process(RAR_SKIP);
        ThrowFailure();
    }
    CFile output;
    if (!output.Open(destination, CFile::modeCreate | CFile::modeWrite)) {
        s.Process(RAR_SKIP);
        ThrowFailure();
    }
    // The library tests the entry (decodes it and checks its checksum) and hands every decoded
    // block to the callback, which writes it through our own file: the library itself creates
    // nothing on disk, so neither a link entry nor a name in another encoding can redirect it.
    s.sink = DataSink{&output, false};
    int result = s.Process(RAR_TEST);
    s.sink = DataSink{};
    if (result != kResultSuccess) ThrowFailure();
    try {
        output.Close();
    } catch (const CFileException&) {
        ThrowFailure();
    }
}

namespace zel::arcopen {

namespace {

// The RAR 4 signature is followed by the main header: CRC-16, then the type 0x73. The RAR 5
// signature is followed by the main header: CRC-32, its size as a variable-length number, then
// the type 1.
constexpr std::uint8_t kRarSignature[] = {'R', 'a', 'r', '!', 0x1A, 0x07};
constexpr std::uint8_t kRar4MainType = 0x73;
constexpr std::uint8_t kRar5MainType = 1;

bool IsRarSignatureAt(FileHead head, std::size_t at) {
    constexpr std::size_t kSize = sizeof kRarSignature;
    if (head.size() < at + kSize + 2 || !std::equal(kRarSignature, kRarSignature + kSize, head.data() + at)) {
        return false;
    }
    std::size_t next = at + kSize;
    if (head[next] == 0) return head.size() > next + 3 && head[next + 3] == kRar4MainType;
    if (head[next] != 1 || head[next + 1] != 0) return false;
    std::size_t size_at = next + 2 + 4;
    while (size_at < head.size() && size_at < next + 2 + 4 + 3 && (head[size_at] & 0x80)) ++size_at;
    return size_at + 1 < head.size() && head[size_at + 1] == kRar5MainType;
}

}  // namespace

bool HasRarSignature(FileHead head) {
    std::size_t end = std::min(head.size(), kRarSearchSize);
    for (std::size_t at = 0; at < end; ++at) {
        if (head[at] == 'R' && IsRarSignatureAt(head, at)) return true;
    }
    return false;
}

bool StartsAsRar(FileHead head) { return IsRarSignatureAt(head, 0); }

CQVArchive* NewRarReader() {
    try {
        return new CQVRarArchive();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace zel::arcopen

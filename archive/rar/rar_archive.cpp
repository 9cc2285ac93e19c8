#include "archive/rar/rar_archive.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <string_view>
#include <vector>

// The library's header expects the platform macro and, on POSIX, defines CALLBACK, HANDLE, LONG,
// UINT and PASCAL itself; on Windows it takes them from <windows.h>, with the stdcall convention of
// the DLL's exports (_UNIX there would change both the types and the calling convention). Keep it
// last so that those macros cannot reach our own headers.
#include "archive/backends.h"
#include "archive/entry_output.h"
#include "archive/reader_support.h"
#include "framework/codepage.h"
#include "framework/codepage_oem.h"
#include "platform/files.h"
#ifdef _WIN32
#include <windows.h>
#else
#define _UNIX
#endif
#include <unrar/dll.hpp>

using zel::arcopen::ThrowEnd;
using zel::arcopen::ThrowFailure;

namespace {

// The size of the comment buffer handed to the library, and of the link target's name.
constexpr unsigned kCommentSize = 16384;
constexpr unsigned kRedirectNameSize = 1024;
// The library's result codes that the reader tells apart.
constexpr int kResultSuccess = ERAR_SUCCESS;
constexpr int kResultEnd = ERAR_END_ARCHIVE;
constexpr int kResultBadData = ERAR_BAD_DATA;
// In the C locale the library maps each byte of an undecodable 8-bit name into this private-use
// area, and marks such a name with a U+FFFE before its first mapped byte.
constexpr wchar_t kMappedByteFirst = 0xE080;
constexpr wchar_t kMappedByteLast = 0xE0FF;
constexpr wchar_t kMappedNameMark = 0xFFFE;
// Hosts whose 8-bit names are in the system's own encoding, which is UTF-8 today (Unix, BeOS);
// the DOS and Windows hosts store the DOS code page.
constexpr unsigned kHostUnix = 3;
constexpr unsigned kHostBeOs = 5;
// Kinds of link entries (RedirType). Links to files and folders on disk are never followed; a
// hard link or a file copy stands for an earlier entry's content.
constexpr unsigned kRedirectNone = 0;
constexpr unsigned kRedirectHardLink = 4;
constexpr unsigned kRedirectFileCopy = 5;
// How many hard links or file copies in a row the reader follows to reach content.
constexpr int kMaxRedirectDepth = 4;

// The code point that starts at wide[i], moving i past it. A wchar_t is a UTF-16 unit on Windows,
// where a character beyond the BMP takes a surrogate pair, and a whole code point elsewhere.
char32_t NextCodePoint(std::wstring_view wide, std::size_t& i) {
    auto code_point = static_cast<char32_t>(wide[i++]);
    if (sizeof(wchar_t) == 2 && code_point >= 0xD800 && code_point < 0xDC00 && i < wide.size()) {
        auto low = static_cast<char32_t>(wide[i]);
        if (low >= 0xDC00 && low < 0xE000) {
            ++i;
            return 0x10000 + ((code_point - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point < 0xE000)) return U'\uFFFD';
    return code_point;
}

// The entry's name as UTF-8 with "\" separators and, for a folder, a trailing "\". An 8-bit name
// (RAR 4 without a Unicode name) comes back as its bytes mapped into the private-use area: from
// a Unix host they are taken as UTF-8 when they are valid UTF-8, otherwise as the DOS code page.
std::string EntryName(const RARHeaderDataEx& header) {
    std::wstring_view wide(header.FileNameW, ::wcsnlen(header.FileNameW, sizeof header.FileNameW / sizeof(wchar_t)));
    std::string name;
    std::string raw;  // the 8-bit name's bytes, for a Unix host
    bool mapped = false;
    for (std::size_t i = 0; i < wide.size();) {
        wchar_t unit = wide[i];
        if (unit == kMappedNameMark) {
            mapped = true;
            ++i;
            continue;
        }
        if (unit >= kMappedByteFirst && unit <= kMappedByteLast) {
            auto byte = static_cast<unsigned char>(unit - 0xE000);
            raw += static_cast<char>(byte);
            zel::codepage::AppendUtf8(name, zel::codepage::Cp437ToCodePoint(byte));
            ++i;
        } else {
            char32_t code_point = NextCodePoint(wide, i);
            zel::codepage::AppendUtf8(raw, code_point);
            zel::codepage::AppendUtf8(name, code_point);
        }
    }
    if (wide.empty()) {
        raw.assign(header.FileName, ::strnlen(header.FileName, sizeof header.FileName));
        name = zel::codepage::Cp437ToUtf8(raw);
        mapped = true;
    }
    bool unix_host = header.HostOS == kHostUnix || header.HostOS == kHostBeOs;
    if (mapped && unix_host && zel::codepage::IsValidUtf8(raw)) name = raw;
    zel::arcopen::UseBackslashes(name);
    if ((header.Flags & RHDF_DIRECTORY) && (name.empty() || name.back() != '\\')) name += '\\';
    return name;
}

// A path that the library names in its wide form (made from the narrow path it was given), with
// the bytes it could not decode (see EntryName) turned back into themselves.
std::string PathFromLibrary(std::wstring_view wide) {
    std::string path;
    for (std::size_t i = 0; i < wide.size();) {
        wchar_t unit = wide[i];
        if (unit == kMappedNameMark || (unit >= kMappedByteFirst && unit <= kMappedByteLast)) {
            if (unit != kMappedNameMark) path += static_cast<char>(unit - 0xE000);
            ++i;
        } else {
            zel::codepage::AppendUtf8(path, NextCodePoint(wide, i));
        }
    }
    return path;
}

// Where the library's callback delivers an entry's bytes, and what it learnt on the way.
struct DataSink {
    zel::arcopen::CEntryOutput* output = nullptr;
    std::uint64_t decoded = 0;         // every byte the library handed over, kept or not
    bool may_stop = false;             // decoding may end at the limit (nothing later depends on it)
    bool stopped = false;              // it did
    bool failed = false;               // the output could not be written
    bool volume_missing = false;       // a volume of the set was asked for and is not there
    std::vector<std::string> volumes;  // the next volumes of the set, as the library reached them
};

// Whether the folder of the volume `path` holds, under a name that could be another volume of its
// set (one that begins as its own name does, up to the first "."), a FIFO, device or socket. The
// library opens each next volume without a look at what it is, and opening a FIFO waits for a
// writer for ever; so a set beside such a thing is not read at all.
bool SpecialFileAmongVolumes(const std::string& path) {
    std::size_t slash = path.find_last_of(zel::platform::kPathSeparators);
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string stem = name.substr(0, name.find('.'));
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    std::vector<std::string> names;
    if (!zel::platform::ListFolder(folder, names)) return true;
    for (const std::string& other : names) {
        if (lower(other).rfind(lower(stem), 0) != 0) continue;
        std::string other_path = slash == std::string::npos ? other : folder + other;
        // A folder fails to read at once; a FIFO, device or socket is what could block.
        if (zel::platform::KindOfTarget(other_path) == zel::platform::EntryKind::other) return true;
    }
    return false;
}

int CALLBACK OnLibraryEvent(UINT message, LPARAM user_data, LPARAM p1, LPARAM p2) {
    auto* sink = reinterpret_cast<DataSink*>(user_data);
    switch (message) {
        case UCM_PROCESSDATA:
            if (sink != nullptr) sink->decoded += static_cast<std::uint64_t>(p2);
            if (sink == nullptr || sink->output == nullptr) return 1;
            try {
                bool more = sink->output->Write(reinterpret_cast<const void*>(p1), static_cast<std::size_t>(p2));
                if (!more && sink->may_stop) {
                    sink->stopped = true;
                    return -1;
                }
            } catch (const CQVArchiveException&) {
                sink->failed = true;
                return -1;
            }
            return 1;
        case UCM_CHANGEVOLUME:
        case UCM_CHANGEVOLUMEW:
            // The library tells that it goes on in the next volume, which is there (once in each
            // form of the name); or it asks for one that is not there, which it must not wait for.
            if (p2 == RAR_VOL_NOTIFY) {
                if (message == UCM_CHANGEVOLUMEW && sink != nullptr) {
                    const auto* name = reinterpret_cast<const wchar_t*>(p1);
                    sink->volumes.push_back(
                        PathFromLibrary(std::wstring_view(name, ::wcsnlen(name, zel::platform::kMaxPathLength))));
                }
                return 1;
            }
            if (sink != nullptr) sink->volume_missing = true;
            return -1;
        default:
            // Never wait for a password: refuse, and the entry fails.
            return -1;
    }
}

}  // namespace

struct CQVRarArchive::State {
    HANDLE handle = nullptr;
    std::string path;
    bool solid = false;
    std::vector<char> comments = std::vector<char>(kCommentSize);
    std::vector<wchar_t> redirect = std::vector<wchar_t>(kRedirectNameSize);
    RARHeaderDataEx header{};
    bool header_read = false;
    std::size_t headers_read = 0;  // in this extraction pass
    std::uint64_t decoded = 0;     // by the library since the last Extract reported it
    zel::arcopen::CEntryNameList names;
    DataSink sink;

    State() = default;
    explicit State(std::string archive) : path(std::move(archive)) {}
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() { CloseArchive(); }

    // Opens the archive in `mode`; false (and no handle) when the library refuses it.
    bool OpenArchive(unsigned mode) {
        RAROpenArchiveDataEx request{};
#ifdef _WIN32
        std::wstring wide_path = zel::platform::WidePath(path);
        request.ArcNameW = wide_path.data();
#else
        request.ArcName = path.data();
#endif
        request.OpenMode = mode;
        request.CmtBuf = comments.data();
        request.CmtBufSize = kCommentSize;
        request.Callback = OnLibraryEvent;
        request.UserData = reinterpret_cast<LPARAM>(&sink);
        sink = DataSink{};
        if (zel::platform::KindOfTarget(path) != zel::platform::EntryKind::file) return false;
        handle = RAROpenArchiveEx(&request);
        bool refused =
            request.OpenResult != kResultSuccess || ((request.Flags & ROADF_VOLUME) && SpecialFileAmongVolumes(path));
        if (handle != nullptr && refused) {
            RARCloseArchive(handle);
            handle = nullptr;
        }
        solid = (request.Flags & ROADF_SOLID) != 0;
        headers_read = 0;
        decoded = 0;
        return handle != nullptr;
    }

    void CloseArchive() {
        if (handle == nullptr) return;
        RARCloseArchive(handle);
        handle = nullptr;
        header_read = false;
    }

    int ReadHeader() {
        header = RARHeaderDataEx{};
        header.CmtBuf = comments.data();
        header.CmtBufSize = kCommentSize;
        header.RedirName = redirect.data();
        header.RedirNameSize = kRedirectNameSize;
        redirect[0] = 0;
        int result = RARReadHeaderEx(handle, &header);
        header_read = result == kResultSuccess;
        if (header_read) ++headers_read;
        return result;
    }

    int Process(int operation) {
        header_read = false;
        return RARProcessFile(handle, operation, nullptr, nullptr);
    }

    // The entry's unpacked size as its header gives it.
    std::uint64_t UnpackedSize() const { return static_cast<std::uint64_t>(header.UnpSizeHigh) << 32 | header.UnpSize; }

    // Passes over the current entry. In a solid archive the library decodes it for the entries
    // after it, without handing the bytes over; it decodes no more than the header's size, so
    // that size is what the pass cost.
    int Skip() {
        if (solid) decoded += UnpackedSize();
        return Process(RAR_SKIP);
    }

    // Decodes the current entry into `output`. The library tests the entry (decodes it and checks
    // its checksum) and hands every decoded block to the callback, which writes it through our own
    // file: the library itself creates nothing on disk. Decoding stops at the limit unless a later
    // entry of a solid archive needs the rest, which is then decoded and dropped. eArchiveFailure
    // when the entry cannot be decoded or written.
    void DecodeInto(zel::arcopen::CEntryOutput& output, bool may_stop) {
        sink.output = &output;
        sink.may_stop = may_stop;
        sink.stopped = sink.failed = false;
        sink.decoded = 0;
        int result = Process(RAR_TEST);
        sink.output = nullptr;
        decoded += sink.decoded;
        if (sink.failed || (result != kResultSuccess && !sink.stopped)) ThrowFailure();
    }

    std::wstring RedirectTarget() const {
        return std::wstring(redirect.data(), ::wcsnlen(redirect.data(), redirect.size()));
    }

    // Writes the content that a hard link or file copy stands for: that of the earlier entry
    // `target`, found by a second walk of the archive over at most `before` headers.
    // What the walk decodes, the entries it passes over in a solid archive included, is added to
    // `spent`.
    void DecodeRedirect(const std::wstring& target, std::size_t before, zel::arcopen::CEntryOutput& output, int depth,
                        std::uint64_t& spent) const {
        if (depth > kMaxRedirectDepth) ThrowFailure();
        State walk(path);
        if (!walk.OpenArchive(RAR_OM_EXTRACT)) ThrowFailure();
        zel::arcopen::OnScopeExit charge([&] { spent += walk.decoded; });
        while (walk.headers_read < before && walk.ReadHeader() == kResultSuccess) {
            if (std::wstring_view(walk.header.FileNameW) != target) {
                if (walk.Skip() != kResultSuccess) ThrowFailure();
                continue;
            }
            unsigned kind = walk.header.RedirType;
            if (kind == kRedirectHardLink || kind == kRedirectFileCopy) {
                walk.DecodeRedirect(walk.RedirectTarget(), walk.headers_read - 1, output, depth + 1, walk.decoded);
                return;
            }
            if (kind != kRedirectNone || (walk.header.Flags & (RHDF_DIRECTORY | RHDF_ENCRYPTED))) ThrowFailure();
            walk.DecodeInto(output, true);
            return;
        }
        ThrowFailure();
    }
};

CQVRarArchive::CQVRarArchive() : m_state(new State) {}

CQVRarArchive::~CQVRarArchive() { Close(); }

int CQVRarArchive::Open(const char* path) {
    Close();
    State& s = *m_state;
    s.names.Clear();
    ClearFollowedVolumes();
    if (path == nullptr) return 0;
    s.path = path;
    if (!s.OpenArchive(RAR_OM_LIST)) return 0;
    int result;
    while ((result = s.ReadHeader()) == kResultSuccess) {
        s.names.Add(EntryName(s.header));
        // Listing only skips, so an encrypted entry does no harm here.
        if (s.Process(RAR_SKIP) != kResultSuccess) break;
    }
    NoteLibraryVolumes();
    // Bad data in a header: the archive is damaged. The handle stays open until Close. A volume
    // that is missing from a set is no damage: the names before it are listed, and the listing
    // ends with a failure.
    if (result == kResultBadData && !s.sink.volume_missing) return 0;
    if (result != kResultEnd) s.names.MarkIncomplete();
    Close();
    return 1;
}

void CQVRarArchive::Close() { m_state->CloseArchive(); }

void CQVRarArchive::MoveFirst() { m_state->names.MoveFirst(); }

CString CQVRarArchive::GetName() { return m_state->names.GetName(); }

void CQVRarArchive::MoveNext() { m_state->names.MoveNext(); }

void CQVRarArchive::ExtractFirst() {
    Close();
    ClearFollowedVolumes();
    if (!m_state->OpenArchive(RAR_OM_EXTRACT)) ThrowFailure();
}

CString CQVRarArchive::GetExtractName() {
    State& s = *m_state;
    if (s.handle == nullptr) ThrowEnd();
    // A header that was read but never processed is passed over first, so that the library
    // stays in step when a caller asks for the name twice or Extract failed before processing.
    if (s.header_read && s.Skip() != kResultSuccess) ThrowFailure();
    for (;;) {
        int result = s.ReadHeader();
        NoteLibraryVolumes();
        if (result == kResultEnd) ThrowEnd();
        if (result != kResultSuccess) ThrowFailure();
        // The rest of a file that began in an earlier volume, when the walk began at a later
        // volume: the listing leaves it out, and so does the extraction.
        if (!(s.header.Flags & RHDF_SPLITBEFORE)) break;
        if (s.Skip() != kResultSuccess) ThrowFailure();
    }
    return EntryName(s.header);
}

void CQVRarArchive::NoteLibraryVolumes() {
    State& s = *m_state;
    for (const std::string& volume : s.sink.volumes) NoteVolume(s.path, volume);
    s.sink.volumes.clear();
}

void CQVRarArchive::Extract(CString destination, int skip) {
    State& s = *m_state;
    SetExtractTruncated(false);
    // What the library decoded since the last Extract, however this one ends: passing over an
    // entry that an earlier Extract left unprocessed is charged here.
    zel::arcopen::OnScopeExit report_decoded([&] {
        SetExtractDecodedBytes(s.decoded);
        s.decoded = 0;
    });
    if (s.handle == nullptr || !s.header_read) ThrowFailure();
    if (skip) {
        if (s.Skip() != kResultSuccess) ThrowFailure();
        return;
    }
    // Every failure below leaves the header unprocessed; the next GetExtractName passes over it.
    if ((s.header.Flags & RHDF_DIRECTORY) || zel::arcopen::NamesDirectory(destination)) {
        zel::arcopen::MakeEntryDirectory(destination);
        return;
    }
    unsigned kind = s.header.RedirType;
    bool copies_content = kind == kRedirectHardLink || kind == kRedirectFileCopy;
    // A symbolic link or junction has no content of its own and is never made on disk.
    if ((kind != kRedirectNone && !copies_content) || (s.header.Flags & RHDF_ENCRYPTED)) ThrowFailure();
    zel::arcopen::CEntryOutput output(destination, GetExtractLimit());
    if (copies_content) {
        std::wstring target = s.RedirectTarget();
        std::size_t before = s.headers_read - 1;
        if (s.Skip() != kResultSuccess) ThrowFailure();
        s.DecodeRedirect(target, before, output, 1, s.decoded);
    } else {
        s.DecodeInto(output, !s.solid);
    }
    output.Commit();
    SetExtractTruncated(output.Truncated());
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
    const std::uint8_t* begin = head.data();
    const std::uint8_t* end = begin + std::min(head.size(), kRarSearchSize);
    for (const std::uint8_t* at = begin; at < end; ++at) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, 'R', static_cast<std::size_t>(end - at)));
        if (at == nullptr) return false;
        if (IsRarSignatureAt(head, static_cast<std::size_t>(at - begin))) return true;
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

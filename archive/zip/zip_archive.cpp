#include "archive/zip/zip_archive.h"

#include <unzip.h>
#ifdef _WIN32
#include <iowin32.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "archive/backends.h"
#include "archive/entry_output.h"
#include "archive/reader_support.h"
#include "fileio/file.h"
#include "framework/codepage_oem.h"
#include "framework/little_endian.h"
#include "platform/files.h"

using zel::arcopen::ThrowEnd;
using zel::arcopen::ThrowFailure;

namespace {

// The size of one transfer between the decompressor and the output file.
constexpr unsigned kTransferSize = 16384;
// General-purpose flag bits: the entry is encrypted; its name and comment are UTF-8.
constexpr unsigned long kFlagEncrypted = 0x0001;
constexpr unsigned long kFlagUtf8 = 0x0800;
// The compression methods that minizip decodes. It hands out the raw bytes of any other method
// (bzip2, Deflate64, ...) without an error, so the method is checked before reading.
constexpr unsigned long kMethodStored = 0;
constexpr unsigned long kMethodDeflated = 8;
// A Unix host keeps the file's mode in the high half of the external attributes; a symbolic link
// stores its target as the entry's data.
constexpr unsigned long kHostUnix = 3;
constexpr unsigned long kModeTypeMask = 0170000;
constexpr unsigned long kModeSymbolicLink = 0120000;

bool IsSymbolicLink(const unz_file_info64& info) {
    return (info.version >> 8) == kHostUnix && ((info.external_fa >> 16) & kModeTypeMask) == kModeSymbolicLink;
}

unzFile Handle(void* handle) { return static_cast<unzFile>(handle); }

// The end-of-central-directory record: signature, disk numbers, entry counts, directory size and
// offset, comment length; a comment of up to 65,535 bytes follows.
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kEndRecordCommentLengthAt = 20;
constexpr std::size_t kMaxCommentSize = 65535;

// True for a ZIP archive without entries that consists of its end record alone. minizip cannot
// open it (it takes an end record found at offset 0 for none found), yet it is a valid archive.
bool IsBareEmptyZip(const char* path) {
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) return false;
    try {
        std::uint64_t length = file.GetLength();
        if (length < kEndRecordSize || length > kEndRecordSize + kMaxCommentSize) return false;
        unsigned char record[kEndRecordSize];
        if (file.Read(record, kEndRecordSize) != kEndRecordSize) return false;
        static constexpr unsigned char kSignature[] = {'P', 'K', 5, 6};
        if (std::memcmp(record, kSignature, sizeof kSignature) != 0) return false;
        for (std::size_t i = 4; i < 20; ++i) {
            if (record[i] != 0) return false;
        }
        return kEndRecordSize + zel::LoadLe16(record + kEndRecordCommentLengthAt, record + kEndRecordSize) == length;
    } catch (const CFileException&) {
        return false;
    }
}

// The current entry's information, or eArchiveFailure.
unz_file_info64 CurrentInfo(unzFile handle) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(handle, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) ThrowFailure();
    return info;
}

// Ends the read of the current entry when it goes out of scope, so that a failure in the middle
// of an entry leaves the archive ready for the next one.
class CurrentFileReading {
public:
    explicit CurrentFileReading(unzFile handle) : m_handle(handle) {}
    ~CurrentFileReading() {
        if (m_handle) unzCloseCurrentFile(m_handle);
    }
    CurrentFileReading(const CurrentFileReading&) = delete;
    CurrentFileReading& operator=(const CurrentFileReading&) = delete;
    // Ends the read now; the result tells whether the data's CRC matched.
    int Finish() {
        int result = unzCloseCurrentFile(m_handle);
        m_handle = nullptr;
        return result;
    }

private:
    unzFile m_handle;
};

}  // namespace

CQVZipArchive::~CQVZipArchive() { Close(); }

int CQVZipArchive::Open(const char* path) {
    Close();
    // The library would open a FIFO and wait for a writer.
    if (path == nullptr || zel::platform::KindOfTarget(path) != zel::platform::EntryKind::file) return 0;
#ifdef _WIN32
    // minizip's own fopen would read the name in the ANSI code page; its Win32 functions take it wide.
    zlib_filefunc64_def functions{};
    fill_win32_filefunc64W(&functions);
    std::wstring wide = zel::platform::WidePath(path);
    m_handle = unzOpen2_64(wide.c_str(), &functions);
#else
    m_handle = unzOpen64(path);
#endif
    if (m_handle == nullptr && IsBareEmptyZip(path)) m_empty = true;
    return m_handle != nullptr || m_empty ? 1 : 0;
}

void CQVZipArchive::Close() {
    m_empty = false;
    if (m_handle == nullptr) return;
    unzClose(Handle(m_handle));
    m_handle = nullptr;
}

void CQVZipArchive::MoveFirst() {
    if (m_empty) ThrowEnd();
    if (m_handle == nullptr) ThrowFailure();
    int result = unzGoToFirstFile(Handle(m_handle));
    // An archive without entries is empty, as an empty archive of any other format is.
    if (result == UNZ_END_OF_LIST_OF_FILE) ThrowEnd();
    if (result != UNZ_OK) ThrowFailure();
}

CString CQVZipArchive::GetName() {
    if (m_handle == nullptr) ThrowFailure();
    unz_file_info64 info = CurrentInfo(Handle(m_handle));
    // The whole stored name: minizip cuts it to the buffer, and a name cut short would be a
    // different (and possibly another entry's) name.
    std::vector<char> buffer(info.size_filename + 1);
    if (unzGetCurrentFileInfo64(Handle(m_handle), &info, buffer.data(), static_cast<uLong>(buffer.size()), nullptr, 0,
                                nullptr, 0) != UNZ_OK) {
        ThrowFailure();
    }
    CString name(buffer.data(), info.size_filename);
    if (!(info.flag & kFlagUtf8)) name = zel::codepage::Cp437ToUtf8(name);
    zel::arcopen::UseBackslashes(name);
    return name;
}

void CQVZipArchive::MoveNext() {
    if (m_handle == nullptr) ThrowFailure();
    int result = unzGoToNextFile(Handle(m_handle));
    if (result == UNZ_END_OF_LIST_OF_FILE) ThrowEnd();
    if (result != UNZ_OK) ThrowFailure();
}

void CQVZipArchive::Extract(CString destination, int skip) {
    SetExtractTruncated(false);
    SetExtractDecodedBytes(0);
    // A skipped entry is passed over by its directory record, without decoding.
    if (skip) return;
    if (m_handle == nullptr) ThrowFailure();
    if (zel::arcopen::NamesDirectory(destination)) {
        zel::arcopen::MakeEntryDirectory(destination);
        return;
    }
    unzFile handle = Handle(m_handle);
    unz_file_info64 info = CurrentInfo(handle);
    // A symbolic link has no content of its own: it is never made, nor written as a file.
    if ((info.flag & kFlagEncrypted) || IsSymbolicLink(info) ||
        (info.compression_method != kMethodStored && info.compression_method != kMethodDeflated)) {
        ThrowFailure();
    }
    if (unzOpenCurrentFile(handle) != UNZ_OK) ThrowFailure();
    CurrentFileReading reading(handle);
    zel::arcopen::CEntryOutput output(destination, GetExtractLimit());
    zel::arcopen::OnScopeExit report_decoded([&] { SetExtractDecodedBytes(output.Offered()); });
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kTransferSize]);
    if (!buffer) ThrowFailure();
    for (;;) {
        // Never more than one byte past the limit: enough to tell that the entry goes on.
        std::uint64_t room = output.Room();
        auto want = static_cast<unsigned>(room < kTransferSize ? room + 1 : kTransferSize);
        int count = unzReadCurrentFile(handle, buffer.get(), want);
        if (count < 0) ThrowFailure();
        if (count == 0) break;
        if (!output.Write(buffer.get(), static_cast<std::size_t>(count))) break;
    }
    // The CRC is known only when the whole entry was read.
    if (reading.Finish() != UNZ_OK && !output.Truncated()) ThrowFailure();
    output.Commit();
    SetExtractTruncated(output.Truncated());
}

namespace zel::arcopen {

bool IsZipArchive(const char* path) {
    CQVZipArchive probe;
    bool found = probe.Open(path) != 0;
    probe.Close();
    return found;
}

bool MayEndAsZip(FileHead tail) {
    const std::uint8_t* begin = tail.data() + (tail.size() > kZipEndSearchSize ? tail.size() - kZipEndSearchSize : 0);
    const std::uint8_t* end = tail.data() + tail.size();
    for (const std::uint8_t* at = begin; end - at >= 4; ++at) {
        at = static_cast<const std::uint8_t*>(std::memchr(at, 'P', static_cast<std::size_t>(end - at)));
        if (at == nullptr || end - at < 4) return false;
        if (at[1] == 'K' && ((at[2] == 5 && at[3] == 6) || (at[2] == 6 && at[3] == 7))) return true;
    }
    return false;
}

CQVArchive* NewZipReader() { return new (std::nothrow) CQVZipArchive(); }

}  // namespace zel::arcopen

// Files on Win32: every path is UTF-8 here and UTF-16 at the W call. A reparse point (a symbolic link
// or a junction) plays the part of a POSIX symbolic link; anything CreateFileW opens that is not a
// disk file (a console, a pipe, a device) is what POSIX calls not a regular file.
#include "platform/win32/windows_api.h"

#include <algorithm>
#include <functional>
#include <random>
#include <utility>

#include "framework/codepage.h"
#include "framework/path_parts.h"
#include "platform/files.h"
#include "platform/system_file_system.h"
#include "platform/win32/wide_text.h"

namespace zel::platform {
namespace {

// A path that is no UTF-8 (or holds a zero character) becomes "", which names no file, rather than a
// shorter or changed name that might name another one.
std::wstring Wide(std::string_view utf8) { return win32::WideFromUtf8(utf8).value_or(std::wstring()); }
std::string Narrow(std::wstring_view utf16) { return win32::Utf8FromWide(utf16); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The one place where a Win32 error code becomes a FileError.
FileError FileErrorFrom(DWORD code) {
    FileFailure failure = FileFailure::other;
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH: failure = FileFailure::notFound; break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: failure = FileFailure::accessDenied; break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: failure = FileFailure::diskFull; break;
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE: failure = FileFailure::hardware; break;
        case ERROR_DIRECTORY: failure = FileFailure::isFolder; break;
        default: break;
    }
    return FileError{failure, static_cast<int>(code), win32::SystemErrorText(code)};
}

std::string LastErrorText() { return win32::SystemErrorText(::GetLastError()); }

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return ".";
    // "C:\x" lies in "C:\", "\x" in "\".
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// A handle closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (valid()) ::CloseHandle(m_handle);
    }
    Handle(Handle&& other) noexcept : m_handle(other.release()) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE && m_handle != nullptr; }
    HANDLE get() const { return m_handle; }
    HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }

private:
    HANDLE m_handle;
};

// The attributes of `path` itself (a reparse point not followed); nullopt when it cannot be read.
std::optional<DWORD> AttributesOf(const std::string& path) {
    if (path.empty()) return std::nullopt;
    DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return attributes;
}

bool IsReparsePoint(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
bool IsDirectory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Opens `path` to look at what it is, following reparse points unless `follow` is false; a folder is
// opened too (FILE_FLAG_BACKUP_SEMANTICS). Neither reads nor writes, so no sharing is denied.
Handle OpenForQuery(const std::string& path, bool follow) {
    DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    return Handle(
        ::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

// What an open handle is, by its type and attributes.
EntryKind KindOfHandle(HANDLE handle) {
    if (::GetFileType(handle) != FILE_TYPE_DISK) return EntryKind::other;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) return EntryKind::missing;
    if (IsReparsePoint(info.dwFileAttributes)) return EntryKind::symlink;
    return IsDirectory(info.dwFileAttributes) ? EntryKind::folder : EntryKind::file;
}

std::string NonRegularKindOf(EntryKind kind) {
    switch (kind) {
        case EntryKind::folder: return "a folder";
        case EntryKind::file:
        case EntryKind::missing: return "";
        default: return "not a regular file";
    }
}

std::string NotRegular(const std::string& kind) {
    return kind == "not a regular file" ? "it is not a regular file" : "it is " + kind + ", not a regular file";
}

// The final path of an open handle, as the system names it, without the "\\?\" prefix.
std::optional<std::string> FinalPath(HANDLE handle) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(length + 1);
    }
    std::string path = Narrow(buffer);
    if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\\\" + path.substr(8);
    if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
    return path;
}

std::optional<std::string> RealPath(const std::string& path) {
    Handle handle = OpenForQuery(path, true);
    if (!handle.valid()) return std::nullopt;
    return FinalPath(handle.get());
}

bool ReadAll(HANDLE handle, std::string& bytes, std::uint64_t limit, std::string& reason) {
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(handle, chunk, sizeof chunk, &got, nullptr)) {
            reason = LastErrorText();
            return false;
        }
        if (got == 0) return true;
        if (bytes.size() + got > limit) {
            reason = "it is larger than " + std::to_string(limit) + " bytes";
            return false;
        }
        bytes.append(chunk, got);
    }
}

bool WriteAll(HANDLE handle, const char* data, std::size_t size, std::string& reason) {
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) {
            reason = written == 0 && ::GetLastError() == ERROR_SUCCESS ? "nothing could be written" : LastErrorText();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Opens an existing regular file for reading, refusing anything else (a folder, a device, a pipe)
// once open, so that nothing swapped in after a look at the path is read. Others may read and
// write it meanwhile, as on POSIX.
Handle OpenRegularForReading(const std::string& path, bool follow, std::string& reason, bool& missing) {
    missing = false;
    if (std::optional<DWORD> attributes = AttributesOf(path); attributes && IsDirectory(*attributes)) {
        reason = NotRegular("a folder");
        return Handle(INVALID_HANDLE_VALUE);
    }
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    Handle handle(::CreateFileW(Wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
    if (!handle.valid()) {
        DWORD code = ::GetLastError();
        missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        reason = win32::SystemErrorText(code);
        return handle;
    }
    if (std::string kind = NonRegularKindOf(KindOfHandle(handle.get())); !kind.empty()) {
        reason = NotRegular(kind);
        return Handle(INVALID_HANDLE_VALUE);
    }
    return handle;
}

// Copies the content of the file at `source` to `out`.
bool CopyInto(const std::string& source, HANDLE out, std::string& reason) {
    bool missing = false;
    Handle in = OpenRegularForReading(source, true, reason, missing);
    if (!in.valid()) return false;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr)) {
            reason = LastErrorText();
            return false;
        }
        if (got == 0) return true;
        if (!WriteAll(out, buffer, got, reason)) return false;
    }
}

// Creates `name` as a new, empty file; false when it exists or cannot be made.
bool CreateNew(const std::string& name) {
    Handle handle(
        ::CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    return handle.valid();
}

// A name made of `stem` and random letters that no file had a moment ago, created empty; "" when
// none could be made.
std::string CreateUniqueFile(const std::string& stem) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        if (CreateNew(name)) return name;
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

// The steps of an atomic replacement, for callers that word a failure by where it happened.
enum class ReplaceStep { makeBeside, write, replace };

// Writes a new file beside `target` through `fill`, then puts it in place (ReplaceFileAtomically).
// On failure the new file is gone, `target` is untouched, `step` says which step failed and `reason` why.
bool WriteBesideAndReplace(const std::string& target, const std::function<bool(HANDLE, std::string&)>& fill,
                           ReplaceStep& step, std::string& reason) {
    step = ReplaceStep::makeBeside;
    std::string temp = CreateTempFileBeside(target);
    if (temp.empty()) {
        reason = LastErrorText();
        return false;
    }
    TempFileGuard guard(temp);
    step = ReplaceStep::write;
    {
        Handle out(::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) {
            reason = LastErrorText();
            return false;
        }
        if (!fill(out.get(), reason)) return false;
    }
    guard.Release();
    step = ReplaceStep::replace;
    return ReplaceFileAtomically(temp, target, &reason);
}

// Seconds since 1970 of a FILETIME (100-ns steps since 1601).
std::int64_t UnixTime(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    constexpr std::int64_t kEpochDifference = 11644473600LL;
    return static_cast<std::int64_t>(value.QuadPart / 10000000ULL) - kEpochDifference;
}

class Win32FileSystem final : public SystemFileSystemBase {
public:
    std::optional<std::int64_t> ModificationTime(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (path.empty() || !::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
            return std::nullopt;
        return UnixTime(data.ftLastWriteTime);
    }
    bool RemoveFile(const std::string& path) override { return !path.empty() && platform::RemoveFile(path); }
    bool MakeFolder(const std::string& path) override {
        return !path.empty() && ::CreateDirectoryW(Wide(path).c_str(), nullptr);
    }
    PathTarget Locate(const std::string& relativePath) override;
};

// Only the part of the path that exists can hold reparse points, so only that part is resolved; the
// parts after it are created (or looked for) inside wherever it leads.
PathTarget Win32FileSystem::Locate(const std::string& relativePath) {
    std::optional<std::string> root = RealPath(".");
    if (!root) return PathTarget::outside;
    std::string existing = ".";
    bool complete = true;
    for (std::string_view part : PathParts(relativePath, "/\\")) {
        // A drive or stream name ("C:", "a:b") would leave the folder as surely as "..".
        if (part == ".." || part.find(':') != std::string_view::npos) return PathTarget::outside;
        std::string next = existing + "\\" + std::string(part);
        if (AttributesOf(next)) {
            existing = next;
            continue;
        }
        DWORD code = ::GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return PathTarget::outside;
        complete = false;
        break;
    }
    std::optional<std::string> target = RealPath(existing);
    if (!target || !IsWithinFolder(*target, *root)) return PathTarget::outside;
    if (!complete) return PathTarget::missing;
    switch (KindOfTarget(existing)) {
        case EntryKind::file: return PathTarget::file;
        case EntryKind::folder: return PathTarget::folder;
        case EntryKind::missing: return PathTarget::outside;
        default: return PathTarget::other;
    }
}

// Reads until `buffer` is full or the file ends, from `offset`; false on an error.
bool ReadAt(HANDLE handle, std::span<std::uint8_t> buffer, std::uint64_t offset, std::size_t& done) {
    done = 0;
    while (done < buffer.size()) {
        OVERLAPPED at{};
        std::uint64_t position = offset + done;
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size() - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(handle, buffer.data() + done, want, &got, &at)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) break;
            return false;
        }
        if (got == 0) break;
        done += got;
    }
    return true;
}

bool ReadOpen(HANDLE handle, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, FileEnds& read,
              std::string& reason) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle, &size)) {
        reason = LastErrorText();
        return false;
    }
    if (!ReadAt(handle, head, 0, read.head)) {
        reason = LastErrorText();
        return false;
    }
    read.length = static_cast<std::uint64_t>(size.QuadPart);
    read.tail = 0;
    // A file that grew since its size was read is measured by what was read.
    if (read.head == head.size() && read.length > read.head) {
        std::uint64_t want = std::min<std::uint64_t>(tail.size(), read.length);
        if (!ReadAt(handle, tail.first(static_cast<std::size_t>(want)), read.length - want, read.tail)) {
            reason = LastErrorText();
            return false;
        }
    }
    if (read.length < read.head) read.length = read.head;
    return true;
}

// Removes `path` and everything below it, without entering a reparse point (a linked folder's
// content is not ours to delete: the link itself is removed).
void RemoveTreeAt(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!IsDirectory(attributes)) {
        ::DeleteFileW(path.c_str());
        return;
    }
    if (!IsReparsePoint(attributes)) {
        WIN32_FIND_DATAW entry{};
        HANDLE find = ::FindFirstFileW((path + L"\\*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = entry.cFileName;
                if (name != L"." && name != L"..") RemoveTreeAt(path + L"\\" + name);
            } while (::FindNextFileW(find, &entry));
            ::FindClose(find);
        }
    }
    ::RemoveDirectoryW(path.c_str());
}

}  // namespace

// ---- Paths ---------------------------------------------------------------------------------------

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::wstring wide = Wide(path);
    DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return Narrow(full);
}

std::string CanonicalPath(const std::string& path) {
    // The longest existing start of the path is resolved by the system; the rest is kept as given.
    std::string absolute = AbsolutePath(path);
    std::string rest;
    std::string existing = absolute;
    for (;;) {
        if (std::optional<std::string> real = RealPath(existing)) {
            if (rest.empty()) return *real;
            return real->back() == '\\' ? *real + rest : *real + "\\" + rest;
        }
        std::string folder = FolderOf(existing);
        if (folder == existing || folder == ".") return absolute;
        std::string name = existing.substr(folder.size() + (IsSeparator(folder.back()) ? 0 : 1));
        rest = rest.empty() ? name : name + "\\" + rest;
        existing = folder;
    }
}

ResolvedPath ResolvePath(const std::string& path) {
    ResolvedPath result;
    result.real = CanonicalPath(path);
    std::string absolute = AbsolutePath(path);
    // Each level from the drive down; nothing below a missing level can be a reparse point.
    for (std::size_t end = absolute.find_first_of("/\\", 3);; end = absolute.find_first_of("/\\", end + 1)) {
        std::optional<DWORD> attributes = AttributesOf(absolute.substr(0, end));
        if (!attributes) break;
        if (IsReparsePoint(*attributes)) {
            result.through_link = true;
            break;
        }
        if (end == std::string::npos) break;
    }
    return result;
}

std::wstring WidePath(std::string_view path) { return Wide(path); }

std::string FileNameFromAnsi(std::string_view ansi) { return codepage::Windows1252ToUtf8(ansi); }

std::optional<std::string> AnsiFromFileName(std::string_view name) { return codepage::Utf8ToWindows1252(name); }

bool IsWithinFolder(const std::string& path, const std::string& folder) {
    if (folder.empty()) return false;
    std::string base = IsSeparator(folder.back()) ? folder.substr(0, folder.size() - 1) : folder;
    if (path.size() < base.size() || path.compare(0, base.size(), base) != 0) return false;
    return path.size() == base.size() || IsSeparator(path[base.size()]) || IsSeparator(folder.back());
}

// ---- What a path names ---------------------------------------------------------------------------

EntryKind KindOf(const std::string& path) {
    std::optional<DWORD> attributes = AttributesOf(path);
    if (!attributes) return EntryKind::missing;
    if (IsReparsePoint(*attributes)) return EntryKind::symlink;
    if (IsDirectory(*attributes)) return EntryKind::folder;
    // A device name ("NUL", "COM1") has attributes too: only a disk file is a file.
    Handle handle = OpenForQuery(path, false);
    return handle.valid() ? KindOfHandle(handle.get()) : EntryKind::file;
}

EntryKind KindOfTarget(const std::string& path) {
    if (path.empty()) return EntryKind::missing;
    Handle handle = OpenForQuery(path, true);
    if (!handle.valid()) {
        // A file that others hold without sharing still has attributes.
        std::optional<DWORD> attributes = AttributesOf(path);
        if (!attributes || IsReparsePoint(*attributes)) return EntryKind::missing;
        return IsDirectory(*attributes) ? EntryKind::folder : EntryKind::file;
    }
    return KindOfHandle(handle.get());
}

std::string NonRegularKind(const std::string& path) { return NonRegularKindOf(KindOfTarget(path)); }

// ---- Folders -------------------------------------------------------------------------------------

bool MakeFolder(const std::string& path) {
    if (path.empty()) return false;
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return true;
    return ::GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(path);
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    for (std::size_t slash = path.find_first_of("/\\", 1); slash != std::string::npos;
         slash = path.find_first_of("/\\", slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (!prefix.empty() && !IsSeparator(prefix.back()) && prefix.back() != ':') MakeFolder(prefix);
    }
    return MakeFolder(path);
}

bool ListFolder(const std::string& path, std::vector<std::string>& names) {
    names.clear();
    if (!IsFolder(path)) return false;
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW((Wide(path) + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(Narrow(name));
    } while (::FindNextFileW(find, &entry));
    ::FindClose(find);
    std::sort(names.begin(), names.end());
    return true;
}

void RemoveTree(const std::string& path) {
    if (path.empty()) return;
    RemoveTreeAt(Wide(path));
}

std::string SystemTempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    std::string folder = length > 0 && length <= MAX_PATH ? Narrow(std::wstring_view(buffer, length)) : ".";
    while (folder.size() > 3 && IsSeparator(folder.back())) folder.pop_back();
    return folder;
}

std::string MakeTempFolder(const std::string& prefix) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::string stem = SystemTempFolder() + "\\" + prefix;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
        // The folder inherits the temporary folder's access list, which on Windows is the user's own.
        if (::CreateDirectoryW(Wide(name).c_str(), nullptr)) return name;
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

// ---- Files ---------------------------------------------------------------------------------------

bool RemoveFile(const std::string& path, std::string& reason) {
    std::optional<DWORD> attributes = AttributesOf(path);
    if (!attributes) {
        reason = LastErrorText();
        return false;
    }
    if (IsDirectory(*attributes)) {
        reason = "it is a folder";
        return false;
    }
    // Windows refuses to delete a read-only file, where POSIX asks only for the folder's permission.
    std::wstring wide = Wide(path);
    bool was_read_only = (*attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (was_read_only) ::SetFileAttributesW(wide.c_str(), *attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    if (!::DeleteFileW(wide.c_str())) {
        reason = LastErrorText();
        if (was_read_only) ::SetFileAttributesW(wide.c_str(), *attributes);
        return false;
    }
    return true;
}

void RemoveFileQuietly(const std::string& path) {
    std::string ignored;
    RemoveFile(path, ignored);
}

bool ClearReadOnly(const std::string& path) {
    std::optional<DWORD> attributes = AttributesOf(path);
    if (!attributes) return false;
    if (!(*attributes & FILE_ATTRIBUTE_READONLY)) return true;
    return ::SetFileAttributesW(Wide(path).c_str(), *attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason, std::uint64_t limit) {
    bytes.clear();
    bool missing = false;
    Handle handle = OpenRegularForReading(path, true, reason, missing);
    if (!handle.valid()) return missing ? ReadOutcome::kMissing : ReadOutcome::kFailed;
    if (!ReadAll(handle.get(), bytes, limit, reason)) {
        bytes.clear();
        return ReadOutcome::kFailed;
    }
    return ReadOutcome::kOk;
}

bool ReadFileEnds(const std::string& path, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, bool follow_link,
                  FileEnds& read, std::string& reason) {
    read = {};
    if (!follow_link) {
        if (std::optional<DWORD> attributes = AttributesOf(path); attributes && IsReparsePoint(*attributes)) {
            reason = "not a regular file";
            return false;
        }
    }
    bool missing = false;
    std::string why;
    Handle handle = OpenRegularForReading(path, follow_link, why, missing);
    if (!handle.valid()) {
        reason = why.find("not a regular file") != std::string::npos ? "not a regular file" : why;
        return false;
    }
    return ReadOpen(handle.get(), head, tail, read, reason);
}

// ---- Temporary files and replacing files ---------------------------------------------------------

std::string CreateTempFileBeside(const std::string& target) { return CreateUniqueFile(target + ".tmp-"); }

std::string CreateTempFileIn(const std::string& folder, const std::string& prefix) {
    return CreateUniqueFile(folder + "\\" + prefix);
}

std::string CreateNewFileBeside(const std::string& target) {
    std::string made = CreateUniqueFile(target + ".tmp-");
    if (!made.empty()) return made;
    // The short form fits any name length.
    std::string folder = FolderOf(target);
    return CreateUniqueFile(folder + (IsSeparator(folder.back()) ? "" : "\\") + ".tmp-");
}

bool ReplaceFileAtomically(const std::string& temp, const std::string& target, std::string* reason) {
    auto fail = [&](const std::string& why) {
        if (reason) *reason = why;
        RemoveFileQuietly(temp);
        return false;
    };
    std::optional<DWORD> existing = AttributesOf(target);
    if (existing && IsReparsePoint(*existing))
        return fail("it is a symbolic link, which is not replaced by a plain file");
    if (existing && KindOfTarget(target) != EntryKind::file) return fail("it is not a regular file");
    {
        Handle handle(::CreateFileW(Wide(temp).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!handle.valid() || !::FlushFileBuffers(handle.get())) return fail(LastErrorText());
    }
    std::wstring wide_target = Wide(target);
    std::wstring wide_temp = Wide(temp);
    if (existing) {
        // ReplaceFileW keeps what the replaced file had beyond its content (its attributes, its
        // access list, its creation time), as a POSIX replacement keeps owner, group and mode. It
        // refuses a read-only file, which POSIX replaces all the same (the folder decides there): the
        // attribute is lifted for the replacement and put back on the new file.
        const DWORD read_only = *existing & FILE_ATTRIBUTE_READONLY;
        if (read_only && !::SetFileAttributesW(wide_target.c_str(), *existing & ~read_only))
            return fail(LastErrorText());
        if (!::ReplaceFileW(wide_target.c_str(), wide_temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr)) {
            std::string why = LastErrorText();
            if (read_only) ::SetFileAttributesW(wide_target.c_str(), *existing);
            return fail(why);
        }
        if (read_only) {
            DWORD now = ::GetFileAttributesW(wide_target.c_str());
            if (now != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesW(wide_target.c_str(), now | read_only);
        }
        return true;
    }
    if (!::MoveFileExW(wide_temp.c_str(), wide_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(LastErrorText());
    return true;
}

bool RenameOverRegularFile(const std::string& temp, const std::string& target) {
    EntryKind kind = KindOf(target);
    if ((kind != EntryKind::file && kind != EntryKind::missing) ||
        !::MoveFileExW(Wide(temp).c_str(), Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        RemoveFileQuietly(temp);
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& reason) {
    ReplaceStep step;
    auto write = [&](HANDLE handle, std::string& why) { return WriteAll(handle, bytes.data(), bytes.size(), why); };
    if (WriteBesideAndReplace(path, write, step, reason)) return true;
    if (step == ReplaceStep::makeBeside) reason = "cannot make a file beside it: " + reason;
    return false;
}

bool CopyFileReplacing(const std::string& source, const std::string& target, std::string& error) {
    EntryKind kind = KindOfTarget(source);
    if (kind == EntryKind::missing) {
        error = "cannot read " + source + ": " + LastErrorText();
        return false;
    }
    if (kind != EntryKind::file) {
        error = "cannot read " + source + ": not a file";
        return false;
    }
    if (target.empty()) {
        error = "cannot write a file without a name";
        return false;
    }
    ReplaceStep step;
    std::string reason;
    auto copy = [&](HANDLE handle, std::string& why) { return CopyInto(source, handle, why); };
    if (WriteBesideAndReplace(target, copy, step, reason)) return true;
    error = (step == ReplaceStep::replace ? "cannot replace " : "cannot write ") + target + ": " + reason;
    return false;
}

// ---- Open files by handle --------------------------------------------------------------------------

FileHandle OpenFileHandle(const std::string& path, FileAccess access, FileCreation creation, FileShare share,
                          FileError& error) {
    if (std::optional<DWORD> attributes = AttributesOf(path); attributes && IsDirectory(*attributes)) {
        error = FileErrorFrom(ERROR_DIRECTORY);
        error.text = NotRegular("a folder");
        return kNoFileHandle;
    }
    DWORD desired = access == FileAccess::readWrite ? GENERIC_READ | GENERIC_WRITE
                    : access == FileAccess::write   ? GENERIC_WRITE
                                                    : GENERIC_READ;
    DWORD sharing = kShareAll;
    switch (share) {
        case FileShare::denyNone: break;
        case FileShare::denyWrite: sharing = FILE_SHARE_READ; break;
        case FileShare::denyRead: sharing = FILE_SHARE_WRITE; break;
        case FileShare::exclusive: sharing = 0; break;
    }
    DWORD disposition = creation == FileCreation::createOrTruncate ? CREATE_ALWAYS
                        : creation == FileCreation::createOrKeep   ? OPEN_ALWAYS
                                                                   : OPEN_EXISTING;
    Handle handle(
        ::CreateFileW(Wide(path).c_str(), desired, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        error = FileErrorFrom(::GetLastError());
        return kNoFileHandle;
    }
    if (EntryKind kind = KindOfHandle(handle.get()); kind != EntryKind::file) {
        error = FileError{FileFailure::notRegular, ERROR_INVALID_FUNCTION, NotRegular(NonRegularKindOf(kind))};
        return kNoFileHandle;
    }
    return reinterpret_cast<FileHandle>(handle.release());
}

bool ReadFileHandle(FileHandle handle, void* buffer, std::size_t count, std::size_t& done, FileError& error) {
    auto* out = static_cast<char*>(buffer);
    done = 0;
    while (done < count) {
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(reinterpret_cast<HANDLE>(handle), out + done, want, &got, nullptr)) {
            error = FileErrorFrom(::GetLastError());
            return false;
        }
        if (got == 0) break;
        done += got;
    }
    return true;
}

bool WriteFileHandle(FileHandle handle, const void* buffer, std::size_t count, FileError& error) {
    std::string reason;
    if (WriteAll(reinterpret_cast<HANDLE>(handle), static_cast<const char*>(buffer), count, reason)) return true;
    error = FileErrorFrom(::GetLastError());
    return false;
}

std::optional<std::uint64_t> SeekFileHandle(FileHandle handle, std::int64_t offset, FileSeekOrigin origin,
                                            FileError& error) {
    DWORD method = origin == FileSeekOrigin::begin     ? FILE_BEGIN
                   : origin == FileSeekOrigin::current ? FILE_CURRENT
                                                       : FILE_END;
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!::SetFilePointerEx(reinterpret_cast<HANDLE>(handle), distance, &position, method)) {
        error = FileErrorFrom(::GetLastError());
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(position.QuadPart);
}

std::optional<std::uint64_t> FileHandleLength(FileHandle handle, FileError& error) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(reinterpret_cast<HANDLE>(handle), &size)) {
        error = FileErrorFrom(::GetLastError());
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool SyncFileHandle(FileHandle handle, FileError& error) {
    if (::FlushFileBuffers(reinterpret_cast<HANDLE>(handle))) return true;
    // A handle opened for reading only has nothing to push and cannot be flushed.
    DWORD code = ::GetLastError();
    if (code == ERROR_ACCESS_DENIED || code == ERROR_INVALID_FUNCTION) return true;
    error = FileErrorFrom(code);
    return false;
}

bool CloseFileHandle(FileHandle handle, FileError& error) {
    if (::CloseHandle(reinterpret_cast<HANDLE>(handle))) return true;
    error = FileErrorFrom(::GetLastError());
    return false;
}

// ---- The updater's view of files ---------------------------------------------------------------

FileSystem& SystemFileSystem() {
    static Win32FileSystem system;
    return system;
}

}  // namespace zel::platform

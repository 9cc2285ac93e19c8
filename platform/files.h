// Files and folders: paths, what a path names, folders, reading and replacing whole files, open
// files by handle, and the narrow view of them that the updater is handed. Every function may be
// called from any thread; none throws. Paths are the system's own ("/" between folders on POSIX).
//
// Replacing is done the careful way, for files that someone else may have put in our path (a
// registry hive, an initialisation file, a shortcut): anything that is not a regular file (a FIFO, a
// device, a folder, a socket) is refused before it is opened, so that reading never blocks and never
// wakes a device; a replacement keeps the owner, group and mode of what it replaces and never turns
// a symbolic link into a plain file; a crash leaves the old file or the new one, never a part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zel::platform {

// ---- Paths -----------------------------------------------------------------------------------

// The characters that separate folders in a path of this system (Windows takes either slash).
#ifdef _WIN32
inline constexpr char kPathSeparators[] = "/\\";
#else
inline constexpr char kPathSeparators[] = "/";
#endif

// The longest path, terminator included, that the system's file calls accept (PATH_MAX on Linux).
// Buffers that hold a path take this size, so that no path the system can open is refused early.
inline constexpr std::size_t kMaxPathLength = 4096;

#ifdef _WIN32
// The UTF-16 form of a path, for the libraries that open files themselves and take Windows' wide
// names (minizip, the UnRAR library): their narrow names would be read in the ANSI code page.
std::wstring WidePath(std::string_view path);
#endif

// `path` made absolute against the current folder, with "." and ".." levels removed (symbolic
// links are not followed).
std::string AbsolutePath(const std::string& path);

// `path` made absolute with every symbolic link of its existing levels resolved, the form in which
// the system names a running program's file; AbsolutePath when that cannot be had.
std::string CanonicalPath(const std::string& path);

// Where a path really leads, and whether a symbolic link lies on the way.
struct ResolvedPath {
    std::string real;           // CanonicalPath of the path
    bool through_link = false;  // one of its existing levels (a folder or the file itself) is a link
};
ResolvedPath ResolvePath(const std::string& path);

// True when `path` is `folder` or lies below it; both are compared as given (make them canonical).
bool IsWithinFolder(const std::string& path, const std::string& folder);

// Stored texts, the database's image paths among them, are in the ANSI code page (Windows-1252)
// whatever the system; the file system spells names in its own encoding (UTF-8 on POSIX). A path
// that comes from stored text is converted before it is opened, and back before it is stored.
// The name on this file system of the path that `ansi` spells in Windows-1252.
std::string FileNameFromAnsi(std::string_view ansi);
// The Windows-1252 spelling of a path on this file system; nullopt when the path is not a name
// this system's encoding allows or holds a character that Windows-1252 cannot hold.
std::optional<std::string> AnsiFromFileName(std::string_view name);

// ---- What a path names -----------------------------------------------------------------------

enum class EntryKind { file, folder, symlink, other, missing };

// What `path` is, without following a final symbolic link; `missing` when its status cannot be read.
EntryKind KindOf(const std::string& path);
// What `path` is after following symbolic links; `missing` when its status cannot be read.
EntryKind KindOfTarget(const std::string& path);

// True when `path` names an existing folder (after following symbolic links).
inline bool IsFolder(const std::string& path) { return KindOfTarget(path) == EntryKind::folder; }

// "a FIFO", "a folder", ...: what the thing at `path` is when it is not a regular file (a final
// symbolic link followed); "" for a regular file or nothing.
std::string NonRegularKind(const std::string& path);

// ---- Folders ---------------------------------------------------------------------------------

// Creates one folder. True when the folder exists afterwards (an existing one is no error).
bool MakeFolder(const std::string& path);

// Creates the folder and every missing parent ("mkdir -p"). True when it exists afterwards.
bool MakeFolders(const std::string& path);

// The names in folder `path` (without "." and ".."), sorted bytewise; false when it cannot be read.
bool ListFolder(const std::string& path, std::vector<std::string>& names);

// Removes `path` and, if it is a folder, everything below it, without following symbolic links.
// Best effort: errors are ignored.
void RemoveTree(const std::string& path);

// The folder for temporary files ($TMPDIR, else /tmp), without a trailing separator.
std::string SystemTempFolder();

// Creates a new folder that only this user can enter, in SystemTempFolder(); its name starts with
// `prefix`. Returns its path, or "" on failure.
std::string MakeTempFolder(const std::string& prefix);

// A private temporary folder, removed with everything in it when it goes out of scope.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix) : m_path(MakeTempFolder(prefix)) {}
    ~TempFolder() {
        if (!m_path.empty()) RemoveTree(m_path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // "" when the folder could not be made.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// ---- Files -----------------------------------------------------------------------------------

// Deletes a file (never a folder). False when it does not exist or cannot be deleted.
bool RemoveFile(const std::string& path);
// The same, saying why when it fails.
bool RemoveFile(const std::string& path, std::string& reason);

// Removes a file, ignoring every error.
void RemoveFileQuietly(const std::string& path);

// The read-only attribute of Windows is, on disk, a file that its owner may not write. Gives the
// owner write permission (following a symbolic link); false when the file's attributes cannot be
// read or changed.
bool ClearReadOnly(const std::string& path);

enum class ReadOutcome {
    kOk,
    kMissing,  // nothing is there (a dangling symbolic link included)
    kFailed,   // something is there but could not be read whole; the reason says why
};

// Files larger than this are not read whole by default: no file we edit comes near it.
inline constexpr std::uint64_t kRegularFileReadLimit = 256u * 1024 * 1024;

// Reads the whole regular file at `path` (a final symbolic link is followed) into `bytes`.
ReadOutcome ReadRegularFile(const std::string& path, std::string& bytes, std::string& reason,
                            std::uint64_t limit = kRegularFileReadLimit);

// The two ends of a file, as a scanner reads every file it meets: the start, which it searches, and
// the end, where some archives keep their directory. Anything that is not a regular file is refused
// once open, before anything is read from it and without waiting for it, even when it was swapped in
// after the caller looked at the path.
// What ReadFileEnds read: bytes at the start of `head`, bytes at the start of `tail`, the length.
struct FileEnds {
    std::size_t head = 0;
    std::size_t tail = 0;
    std::uint64_t length = 0;
};

// Reads up to head.size() bytes from the start of the regular file at `path` into `head` and, when
// the file is longer than that, its last bytes (up to tail.size()) into `tail`; the buffers are the
// caller's, to be used again for the next file. A final symbolic link is followed only when
// `follow_link` (a path the user named). False, with `reason` ("not a regular file", or the
// system's words for why it cannot be opened or read), when nothing could be read.
bool ReadFileEnds(const std::string& path, std::span<std::uint8_t> head, std::span<std::uint8_t> tail, bool follow_link,
                  FileEnds& read, std::string& reason);

// The first bytes of the regular file at `path` (a final symbolic link followed), at most `limit` of
// them: fewer when the file is shorter. `length`, when given, receives the whole file's length. False
// when nothing could be read (`bytes` is then empty and `reason`, when given, says why).
inline bool ReadFileHead(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                         std::uint64_t* length = nullptr, std::string* reason = nullptr) {
    bytes.resize(limit);
    FileEnds read;
    std::string why;
    if (!ReadFileEnds(path, bytes, {}, true, read, why)) {
        bytes.clear();
        if (reason) *reason = why;
        return false;
    }
    bytes.resize(read.head);
    if (length) *length = read.length;
    return true;
}

// ---- Temporary files and replacing files -----------------------------------------------------

// Creates an empty, uniquely named file in the folder of `target` and returns its path,
// or "" when none can be made.
std::string CreateTempFileBeside(const std::string& target);

// Creates an empty, uniquely named file in `folder` whose name starts with `prefix`; returns its
// path, or "" when none can be made.
std::string CreateTempFileIn(const std::string& folder, const std::string& prefix);

// Creates a new, empty file with a unique name beside `target` (a short name in the same folder
// when a longer one would be too long), with the permissions that any newly created file gets
// (0666 less the umask, unlike CreateTempFileBeside). Returns its path, or "" when none can be made.
std::string CreateNewFileBeside(const std::string& target);

// Makes `temp` durable and renames it over `target` in one step. The new file takes the owner,
// group and mode of the regular file it replaces, so that root editing a user's file leaves it the
// user's. A new file gets mode 0644 and, when we are root, the owner and group of its folder. A
// `target` that is a symbolic link or anything but a regular file is refused (a link is never
// silently turned into a plain file), as is an owner or group that cannot be kept. On failure
// `temp` is removed, `reason` (when given) says why and false is returned; `target` is untouched.
bool ReplaceFileAtomically(const std::string& temp, const std::string& target, std::string* reason = nullptr);

// Renames `temp` over `target`, unless `target` exists and is not a regular file (a folder,
// device, FIFO, socket or symbolic link): such a path is never replaced. Nothing is flushed, so
// this suits files that are written and read again at once, not files that must survive a crash.
// On failure `temp` is removed and false returned; `target` is then untouched.
bool RenameOverRegularFile(const std::string& temp, const std::string& target);

// Replaces the content of the file at `path` by `bytes` atomically (a new file beside it, renamed
// over it; see ReplaceFileAtomically), or creates it. False, with `reason`, when it cannot be
// written; the old file is then untouched.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string& reason);

// Copies `source` over `target` so that `target` is either its old self or a complete copy, never a
// part. False when the copy failed; `target` is then untouched.
bool CopyFileReplacing(const std::string& source, const std::string& target);
// The same; on failure `error` says what could not be done and why ("cannot write T: reason").
bool CopyFileReplacing(const std::string& source, const std::string& target, std::string& error);

// Removes a temporary file when it goes out of scope, unless Release() was called.
class TempFileGuard {
public:
    explicit TempFileGuard(std::string path) : m_path(std::move(path)) {}
    ~TempFileGuard() {
        if (!m_path.empty()) RemoveFileQuietly(m_path);
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void Release() { m_path.clear(); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// ---- Open files by handle ----------------------------------------------------------------------
// The few calls on an open file that the framework's CFile is made of. A handle belongs to one
// thread at a time.

using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFileHandle = -1;

enum class FileAccess { read, write, readWrite };
enum class FileCreation {
    openExisting,      // fail when the file is missing
    createOrTruncate,  // make it when missing, else empty it
    createOrKeep,      // make it when missing, else keep its content
};
enum class FileSeekOrigin { begin, current, end };

// Why a call on a file failed, as far as callers tell failures apart.
enum class FileFailure { other, notFound, accessDenied, diskFull, hardware, isFolder, notRegular };
struct FileError {
    FileFailure failure = FileFailure::other;
    int code = 0;      // the system's own error number
    std::string text;  // the system's description of it
};

// What others may do with a file while we hold it open, where the system enforces it (Windows);
// POSIX systems have no such modes and ignore it.
enum class FileShare { denyNone, denyWrite, denyRead, exclusive };

// Opens the file at `path`. Only a regular file (or a new one) is opened: a folder is refused
// (isFolder), and a FIFO, device or socket (notRegular, the text saying which) is refused without
// being waited on, even when it was swapped in after a look at the path. kNoFileHandle, with
// `error`, on failure.
// `share` says what others may do with the file meanwhile.
FileHandle OpenFileHandle(const std::string& path, FileAccess access, FileCreation creation, FileShare share,
                          FileError& error);
inline FileHandle OpenFileHandle(const std::string& path, FileAccess access, FileCreation creation, FileError& error) {
    return OpenFileHandle(path, access, creation, FileShare::denyNone, error);
}
// Reads up to `count` bytes into `buffer` and sets `done` to how many were read (fewer only at the
// end of the file). False, with `error`, on a read error (`done` then holds what was read before it).
bool ReadFileHandle(FileHandle handle, void* buffer, std::size_t count, std::size_t& done, FileError& error);
// Writes all `count` bytes. False, with `error`, when they could not all be written.
bool WriteFileHandle(FileHandle handle, const void* buffer, std::size_t count, FileError& error);
// Moves the position; returns the new one from the start of the file, or nullopt with `error`.
std::optional<std::uint64_t> SeekFileHandle(FileHandle handle, std::int64_t offset, FileSeekOrigin origin,
                                            FileError& error);
// The file's length in bytes, or nullopt with `error`.
std::optional<std::uint64_t> FileHandleLength(FileHandle handle, FileError& error);
// Pushes written data to the storage device. True also where the file cannot be synchronised at all
// (a pipe, a special file); false, with `error`, when the device reports a failure.
bool SyncFileHandle(FileHandle handle, FileError& error);
// Closes the handle, which is invalid afterwards whatever the result. False, with `error`, when the
// system reports an error on closing (written data may then be lost).
bool CloseFileHandle(FileHandle handle, FileError& error);

// ---- The updater's view of files ---------------------------------------------------------------

enum class PathTarget { missing, file, folder, other, outside };

// What an update run does to files: the script's housekeeping commands, its temporary downloads and
// their installation. Handed to the run so that tests and fuzzing never touch the real file system.
// Paths are relative to the current folder unless they are absolute. Any thread may call it.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Last-modification time in seconds since 1970 (UTC), or nullopt when the status of `path`
    // cannot be read.
    virtual std::optional<std::int64_t> ModificationTime(const std::string& path) = 0;
    // Deletes one file. False when it could not be deleted.
    virtual bool RemoveFile(const std::string& path) = 0;
    // Creates one folder (no parents). False when it could not be created (an existing one included).
    virtual bool MakeFolder(const std::string& path) = 0;
    // What `relativePath` (relative to the current folder, "/"-separated, no ".." parts) names once
    // every symbolic link along it is followed. `outside` when it leads out of the current folder, or
    // when that cannot be ruled out (a dangling or unreadable link, an unreadable folder).
    virtual PathTarget Locate(const std::string& relativePath) = 0;
    // The whole content of the regular file at `path`, or nullopt when it is missing, is anything but
    // a regular file, cannot be read or is larger than `limit` bytes.
    virtual std::optional<std::string> ReadContent(const std::string& path, std::uint64_t limit) = 0;
    // The folder where downloads are kept until they are checked, without a trailing separator.
    virtual std::string TempFileFolder() = 0;
    // Creates an empty, uniquely named file in TempFileFolder() whose name starts with `prefix`; returns
    // its path, or "" when none can be made.
    virtual std::string CreateTempFile(const std::string& prefix) = 0;
    // Copies `source` over `target` so that `target` is either its old self or a complete copy (see
    // CopyFileReplacing). False, with `error` saying what could not be done and why, on failure.
    virtual bool InstallFile(const std::string& source, const std::string& target, std::string& error) = 0;
};

// The files of this machine.
FileSystem& SystemFileSystem();

}  // namespace zel::platform

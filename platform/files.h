// File-system helpers for replacing files atomically: a crash leaves the old file or the new one.
#pragma once

#include <string>
#include <vector>

namespace zel::platform {

// Creates an empty, uniquely named file in the folder of `target` and returns its path,
// or "" when none can be made.
std::string CreateTempFileBeside(const std::string& target);

// Makes `temp` durable and renames it over `target` in one step. The new file takes the
// permissions of the file it replaces (or the usual ones for a new file). On failure `temp`
// is removed and false returned; `target` is then untouched.
bool ReplaceFileAtomically(const std::string& temp, const std::string& target);

// Creates a new, empty file with a unique name beside `target` (a short name in the same folder
// when a longer one would be too long), with the permissions that any newly created file gets
// (0666 less the umask, unlike CreateTempFileBeside). Returns its path, or "" when none can be made.
std::string CreateNewFileBeside(const std::string& target);

// Renames `temp` over `target`, unless `target` exists and is not a regular file (a folder,
// device, FIFO, socket or symbolic link): such a path is never replaced. Nothing is flushed, so
// this suits files that are written and read again at once, not files that must survive a crash.
// On failure `temp` is removed and false returned; `target` is then untouched.
bool RenameOverRegularFile(const std::string& temp, const std::string& target);

// Removes a file, ignoring every error.
void RemoveFileQuietly(const std::string& path);

enum class EntryKind { file, directory, symlink, other, missing };

// What `path` is, without following a final symbolic link.
EntryKind KindOf(const std::string& path);
// What `path` is after following symbolic links.
EntryKind KindOfTarget(const std::string& path);

// The names in folder `path` (without "." and ".."), sorted bytewise; false when it cannot be read.
bool ListDirectory(const std::string& path, std::vector<std::string>& names);

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

}  // namespace zel::platform

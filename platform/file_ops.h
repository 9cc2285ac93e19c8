// File operations of the cure code: deleting a file and the read-only attribute.
#pragma once

#include <string>

namespace zel::platform {

// Deletes a file (never a folder). False when it does not exist or cannot be deleted.
bool RemoveFile(const std::string& path);
// The same, saying why when it fails.
bool RemoveFile(const std::string& path, std::string& reason);

// The read-only attribute of Windows is, on disk, a file that its owner may not write. Gives the
// owner write permission (following a symbolic link); false when the file's attributes cannot be
// read or changed.
bool ClearReadOnly(const std::string& path);

// True when `path` is a folder (after following symbolic links).
bool IsFolder(const std::string& path);

}  // namespace zel::platform

namespace zel::platform {

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

}  // namespace zel::platform

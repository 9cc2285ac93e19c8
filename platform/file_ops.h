// File operations of the cure code: deleting a file and the read-only attribute.
#pragma once

#include <string>

namespace zel::platform {

// Deletes a file (never a folder). False when it does not exist or cannot be deleted.
bool RemoveFile(const std::string& path);

// The read-only attribute of Windows is, on disk, a file that its owner may not write. Gives the
// owner write permission (following a symbolic link); false when the file's attributes cannot be
// read or changed.
bool ClearReadOnly(const std::string& path);

// True when `path` is a folder (after following symbolic links).
bool IsFolder(const std::string& path);

}  // namespace zel::platform

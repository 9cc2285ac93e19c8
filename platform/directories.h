// Folders: creating them, a private temporary folder, and removing a tree.
#pragma once

#include <string>

namespace zel::platform {

// Creates one folder. True when the folder exists afterwards (an existing one is no error).
bool MakeDirectory(const std::string& path);

// Creates the folder and every missing parent ("mkdir -p"). True when it exists afterwards.
bool MakeDirectories(const std::string& path);

// True when `path` names an existing folder.
bool IsDirectory(const std::string& path);

// Creates a new folder that only this user can enter, under the system's temporary folder
// ($TMPDIR or /tmp); its name starts with `prefix`. Returns its path, or "" on failure.
std::string MakeTempDirectory(const std::string& prefix);

// Removes `path` and, if it is a folder, everything below it, without following symbolic links.
// Best effort: errors are ignored.
void RemoveTree(const std::string& path);

// Removes a temporary folder tree when it goes out of scope.
class TempDirectory {
public:
    explicit TempDirectory(const std::string& prefix) : m_path(MakeTempDirectory(prefix)) {}
    ~TempDirectory() {
        if (!m_path.empty()) RemoveTree(m_path);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    // "" when the folder could not be made.
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace zel::platform

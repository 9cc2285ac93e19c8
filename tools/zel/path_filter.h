// The paths that `zel scan --exclude` and `--exclude-dir` leave out: POSIX extended regular
// expressions searched for anywhere in the whole path, as the user wrote it or as the walk built it.
#pragma once

#include <regex>
#include <string>
#include <vector>

namespace zel::cli {

class PathFilter {
public:
    // Adds an expression for files (`--exclude`) or for folders (`--exclude-dir`, whose contents
    // are then not walked). Throws Failure naming `option` when the expression is not valid.
    void ExcludeFiles(const std::string& expression, const std::string& option = "--exclude");
    void ExcludeFolders(const std::string& expression, const std::string& option = "--exclude-dir");

    bool ExcludesFile(const std::string& path) const { return Matches(m_files, path); }
    bool ExcludesFolder(const std::string& path) const { return Matches(m_folders, path); }

private:
    static std::regex Compile(const std::string& expression, const std::string& option);
    static bool Matches(const std::vector<std::regex>& expressions, const std::string& path);

    std::vector<std::regex> m_files;
    std::vector<std::regex> m_folders;
};

}  // namespace zel::cli

// Helpers shared by the ACE tests: the real samples beside the checkout, their expected MD5
// lists, scratch folders and MD5 sums.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zel::ace::test {

std::filesystem::path SamplesDir();
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::string Md5Hex(const std::vector<std::uint8_t>& bytes);

// The "<md5>  <path>" lines of a sample's .md5 file, by path ("/" separators).
std::map<std::string, std::string> ReadMd5List(const std::filesystem::path& path);
// The folders of a sample's .dirs file (empty when there is none).
std::set<std::string> ReadDirList(const std::filesystem::path& path);

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// Every regular file under `root`, as relative paths with "/" separators.
std::set<std::string> FilesUnder(const std::filesystem::path& root);

}  // namespace zel::ace::test

// Helpers shared by the ACE tests: the real samples beside the checkout, their expected MD5
// lists and MD5 sums (folders and file reading come from tests/support).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zel::ace::test {

using zel::testing::ReadBytes;
using zel::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

std::filesystem::path SamplesDir();
void WriteFileBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);
std::string Md5Hex(const std::vector<std::uint8_t>& bytes);

// The "<md5>  <path>" lines of a sample's .md5 file, by path ("/" separators).
std::map<std::string, std::string> ReadMd5List(const std::filesystem::path& path);
// The folders of a sample's .dirs file (empty when there is none).
std::set<std::string> ReadDirList(const std::filesystem::path& path);

// Every regular file under `root`, as relative paths with "/" separators.
std::set<std::string> FilesUnder(const std::filesystem::path& root);

}  // namespace zel::ace::test

// Helpers shared by the Arcopen tests: fixture paths, file contents, walking a reader.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "archive/qv_archive.h"
#include "tests/archive/reader_walk.h"
#include "tests/support/temp_dir.h"

namespace zel::test {

using zel::testing::ReadBytes;
using zel::testing::TempDir;

// A fixture made by make_fixtures.sh, and the reference extraction of its own archiver.
std::string Fixture(const std::string& name);
std::string Reference(const std::string& name);

void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// Every regular file below `folder`, by its path relative to it, with its contents.
std::map<std::string, std::string> ReadTree(const std::string& folder);

// The names of a listing pass (MoveFirst, GetName, MoveNext until eEndOfArchive).

// An extraction pass that writes every entry below `folder` ("\" turned into "/", folders
// created first); returns the names in order. Lets CQVArchiveException through.
std::vector<std::string> ExtractAll(CQVArchive& reader, const std::string& folder);

// ARJ: the offsets of the headers in `bytes` (main header first), found by walking the archive
// from `start`.
std::vector<std::size_t> ArjHeaderOffsets(const std::string& bytes, std::size_t start = 0);
// Recomputes the basic header CRC of the ARJ header at `offset` after a test changed it.
void FixArjHeaderCrc(std::string& bytes, std::size_t offset);

}  // namespace zel::test

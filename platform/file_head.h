// The first bytes of a file, read the one way that the scanner, the cure module and the archive
// probes read them: as far as a limit, fewer when the file is shorter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/framework_types.h"
#include "platform/file.h"

namespace zel {

// Reads the first bytes of the file at `path`, at most `limit` of them, opening it with `openFlags`
// (CFile::modeRead and a sharing mode); `length`, when given, receives the whole file's length. Only
// as much memory as the file's length needs is taken. False when the file cannot be opened or read,
// or memory runs out: `bytes` is then empty and `error`, when given, says why.
bool ReadFileHead(const CString& path, unsigned openFlags, std::size_t limit, std::vector<BYTE>& bytes,
                  std::uint64_t* length = nullptr, CFileException* error = nullptr);

}  // namespace zel

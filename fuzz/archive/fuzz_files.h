// The private folder in which the archive fuzzers write their inputs and outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/qv_archive.h"

namespace zel::fuzz {

// The folder, made on first use and removed at exit.
const std::string& WorkFolder();

// Writes `data` to `name` in the folder and returns the path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);

// Lists the opened reader, then extracts every entry, up to a limit, to one output in the folder.
void WalkReader(CQVArchive& reader);

}  // namespace zel::fuzz

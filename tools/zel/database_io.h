// Loading and saving the database for zel, and the text conversions at its boundary: the file
// holds Windows-1252, the terminal speaks UTF-8.
#pragma once

#include <string>

#include "database/trojan_base2.h"

namespace zel::cli {

// Loads `path` into `base`; a missing file gives an empty database when `missing_ok`.
// Throws Failure when the file cannot be read or is damaged.
void LoadDatabase(CTrojanBase2& base, const std::string& path, bool missing_ok);
void SaveDatabase(CTrojanBase2& base, const std::string& path);

// How many of the record's signatures were never generated: they match nothing.
int UngeneratedSignatures(const CTrojan2& record);
// Says once, on standard error, that records hold signatures never generated (and so miss their
// trojan's files); nothing when none do.
void WarnOfUngeneratedSignatures(const CTrojanBase2& base);

// UTF-8 from the command line to the database's code page, or Failure naming `what`.
std::string ToAnsi(const std::string& utf8, const std::string& what);
std::string ToUtf8(const std::string& ansi);

}  // namespace zel::cli

// The few application-framework types that the database, archive and updater code is written in.
// Texts are 8-bit strings in the system's ANSI code page; std::string holds them byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using CString = std::string;
using CStringArray = std::vector<std::string>;

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;

// The few application-framework types that the database, archive and updater code is written in.
// Texts are 8-bit strings in the system's ANSI code page; std::string holds them byte for byte.
//
// On Windows the integer types are the system's own (DWORD is an unsigned long there), so that our
// headers and <windows.h> can meet in one translation unit; elsewhere they are ours, of the same
// sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#ifdef _WIN32
// Our code calls std::min and std::max; the system header would otherwise define them as macros.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

using CString = std::string;
using CStringArray = std::vector<std::string>;

#ifndef _WIN32
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
#endif
static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(UINT) == 4);

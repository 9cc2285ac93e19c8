// The DOS ("OEM") code page 437 that old archivers store file names in, converted to UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace zel::codepage {

// Code page 437 bytes to UTF-8. Bytes below 0x80 are ASCII; every upper byte has a character,
// so the conversion always succeeds.
std::string Cp437ToUtf8(std::string_view text);

// The Unicode character of one code page 437 byte.
char32_t Cp437ToCodePoint(unsigned char byte);

}  // namespace zel::codepage

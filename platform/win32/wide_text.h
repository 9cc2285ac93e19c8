// Text at the Win32 boundary. Our code holds UTF-8 (files, titles, URLs) or the ANSI code page,
// Windows-1252 (registry texts and the Windows paths of the system root, as the 8-bit functions
// see them); the wide-character functions take UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel::platform::win32 {

// UTF-8 to UTF-16; nullopt for malformed UTF-8 and for a zero character, which a W function would
// take as the end of the text and so act on a shorter name than the one asked for.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

// Windows-1252 to UTF-16 and back, zero characters included (registry data holds them). What
// Windows-1252 cannot hold becomes '?'.
std::wstring WideFromAnsi(std::string_view text);
std::string AnsiFromWide(std::wstring_view text);

// The system's own one-line message for an error code, e.g. "Access is denied. (5)".
std::string SystemErrorText(unsigned long code);

}  // namespace zel::platform::win32

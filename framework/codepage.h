// Conversions between the 8-bit Windows code pages that stored texts use and Unicode.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel::codepage {

// Windows-1252 bytes to UTF-8. Every byte has a character (the five unassigned ones map to the
// C1 controls of the same value, as Windows does), so the conversion always succeeds.
std::string Windows1252ToUtf8(std::string_view text);

// UTF-8 to Windows-1252; nullopt when the text is not valid UTF-8 or holds a character that
// Windows-1252 cannot represent.
std::optional<std::string> Utf8ToWindows1252(std::string_view text);

// UTF-16 code units to Windows-1252; characters it cannot represent become '?'.
std::string Utf16ToWindows1252(std::u16string_view text);

// Decodes one UTF-8 sequence at `text[pos]` (pos < text.size()), advancing `pos` past it; nullopt,
// with `pos` unchanged, when it is malformed, overlong, a surrogate or beyond U+10FFFF.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t code_point);

}  // namespace zel::codepage

// UTF-8, the encoding of every text inside our code, meets UTF-16, the encoding of every W function of
// Win32, only here: each call into Win32 converts its paths on the way in and its answers on the way
// out. Included by the win32 backend's own files only.
#pragma once

#include <string>
#include <string_view>

namespace zel::platform::win32 {

// The UTF-16 form of UTF-8 text; a malformed sequence becomes U+FFFD, so that it names no file that
// exists rather than a file the caller did not mean.
std::wstring Wide(std::string_view utf8);
// The UTF-8 form of UTF-16 text (an unpaired surrogate becomes U+FFFD).
std::string Narrow(std::wstring_view utf16);
// The system's own words for a Win32 error code, without the trailing line break.
std::string ErrorText(unsigned long code);

}  // namespace zel::platform::win32

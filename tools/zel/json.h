// A minimal JSON writer for zel's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace zel::cli {

// The JSON string literal for `text`, quotes included. Always valid JSON whatever the bytes: a
// byte that is not valid UTF-8 becomes U+FFFD, and the characters that may not reach a terminal
// raw are escaped.
std::string JsonString(std::string_view text);

}  // namespace zel::cli

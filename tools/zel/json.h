// A minimal JSON writer for zel's machine-readable output.
#pragma once

#include <string>
#include <string_view>

namespace zel::cli {

// The JSON string literal for UTF-8 `text`, quotes included.
std::string JsonString(std::string_view text);

}  // namespace zel::cli

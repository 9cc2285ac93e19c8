#include "tools/zel/safe_text.h"

#include <cstdio>

#include "framework/codepage.h"

namespace zel::cli {

bool IsUnsafeToShow(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto escape = [&out](char byte) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(byte));
        out += escaped;
    };
    for (size_t pos = 0; pos < text.size();) {
        size_t start = pos;
        auto code_point = codepage::DecodeUtf8(text, pos);
        if (!code_point) {
            escape(text[pos++]);
        } else if (IsUnsafeToShow(*code_point)) {
            for (size_t i = start; i < pos; ++i) escape(text[i]);
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

}  // namespace zel::cli

#include "tools/zel/json.h"

#include <cstdio>

#include "framework/codepage.h"
#include "tools/zel/safe_text.h"

namespace zel::cli {

std::string JsonString(std::string_view text) {
    constexpr char32_t kReplacement = 0xFFFD;
    std::string out = "\"";
    for (size_t pos = 0; pos < text.size();) {
        auto decoded = codepage::DecodeUtf8(text, pos);
        char32_t c = decoded.value_or(kReplacement);
        if (!decoded) ++pos;
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (IsUnsafeToShow(c)) {
                    // Every unsafe character lies in the Basic Multilingual Plane: one \u escape.
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    codepage::AppendUtf8(out, c);
                }
        }
    }
    return out + "\"";
}

}  // namespace zel::cli

#include "updater/core/update_script.h"

#include <optional>

namespace zel::updater {
namespace {

// Reads three unsigned numbers separated by exactly one byte each ("17.03.2004", "09:30:00").
bool ParseTriple(std::string_view text, unsigned (&parts)[3]) {
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
        std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            // Anything this large is invalid as a date or time part anyway; stop it growing.
            if (value < 100000000u) value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        if (pos == start) return false;
        parts[i] = value;
        if (i < 2) ++pos;  // the one separator byte, whatever it is
    }
    return true;
}

}  // namespace

bool CutFields(std::string_view text, int pos, int lineEnd, int count, CStringArray& fields) {
    fields.clear();
    auto end = static_cast<std::size_t>(std::min<std::size_t>(static_cast<std::size_t>(lineEnd), text.size()));
    std::size_t start = static_cast<std::size_t>(pos) + 2;
    for (int i = 0; i < count; ++i) {
        if (start > end) return false;
        std::size_t close = text.substr(0, end).find('>', start);
        if (close == std::string_view::npos) return false;
        fields.emplace_back(text.substr(start, close - start));
        start = close + 2;
    }
    return true;
}

bool ParseScriptNumber(std::string_view text, int& value) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || (text[pos] >= '\t' && text[pos] <= '\r'))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::size_t start = pos;
    std::uint32_t result = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        result = result * 10u + static_cast<std::uint32_t>(text[pos++] - '0');
    if (pos == start) return false;
    if (negative) result = 0u - result;
    value = static_cast<int>(result);
    return true;
}

bool IsOutOfDate(platform::FileSystem& files, platform::Clock& clock, const CString& destination, const CString& date,
                 const CString& time) {
    CString path = destination;
    std::size_t nameStart = path.find_last_of("/\\");
    nameStart = nameStart == CString::npos ? 0 : nameStart + 1;
    if (path.size() >= 2 && path[1] == ':' && nameStart == 0) nameStart = 2;  // "c:name"
    if (nameStart < path.size() && path[nameStart] == '~') path.erase(nameStart, 1);

    std::optional<std::int64_t> modified = files.ModificationTime(path);
    if (!modified) return true;
    unsigned day[3];
    unsigned hms[3];
    if (!ParseTriple(date, day) || !ParseTriple(time, hms)) return false;
    std::optional<std::int64_t> published =
        clock.LocalTimeToUnix(static_cast<int>(day[2]), static_cast<int>(day[1]), static_cast<int>(day[0]),
                              static_cast<int>(hms[0]), static_cast<int>(hms[1]), static_cast<int>(hms[2]));
    if (!published) return false;
    return *modified < *published;
}

}  // namespace zel::updater

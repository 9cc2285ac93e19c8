#include "updater/core/language_file.h"

#include <charconv>

#include "fileio/file.h"
#include "updater/core/update_strings.h"
#include "updater/core/wizard_strings.h"

namespace zel::updater {
namespace {

// Decodes the escapes \n, \t and \\; false for any other backslash sequence.
bool Unescape(std::string_view text, CString& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case '\\': out += '\\'; break;
            default: return false;
        }
    }
    return true;
}

bool ParseNumber(std::string_view text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t code = 0;
        if (byte < 0x80) {
            ++i;
            continue;
        } else if ((byte & 0xE0) == 0xC0) {
            extra = 1, code = byte & 0x1F;
        } else if ((byte & 0xF0) == 0xE0) {
            extra = 2, code = byte & 0x0F;
        } else if ((byte & 0xF8) == 0xF0) {
            extra = 3, code = byte & 0x07;
        } else {
            return false;
        }
        if (text.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

const std::map<UINT, CString>& BuiltInStrings() {
    static const std::map<UINT, CString> strings = [] {
        std::map<UINT, CString> table;
        for (UINT id : {IDS_SOCKET_INIT_FAILED, IDS_INVALID_URL, IDS_CONNECTING, IDS_DOWNLOADING, IDS_ENTRY_STATUS,
                        IDS_COMPLETE, IDS_CHECKING, IDS_NOTHING_NEW, IDS_SEE_DETAILS, IDS_FAILED_HEADLINE,
                        IDS_FAILED_TEXT, IDS_NO_MIRROR, IDS_FOLDER_UNWRITABLE, IDS_NO_SCRIPT})
            table[id] = LoadUpdateString(id);
        table[IDS_NOT_AN_INTEGER] = kNotAnInteger;
        return table;
    }();
    return strings;
}

bool CLanguage::Parse(std::string_view text, std::string& error) {
    std::map<UINT, CString> strings;
    std::map<std::pair<int, int>, CString> dialogs;
    if (!IsUtf8(text)) {
        error = "not UTF-8 text";
        return false;
    }
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        auto fail = [&](const char* why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return fail("no '=' after the key");
        std::string_view key = line.substr(0, equals);
        CString value;
        if (!Unescape(line.substr(equals + 1), value)) return fail("unknown escape (use \\n, \\t or \\\\)");
        std::size_t dot = key.find('.');
        int first = 0;
        int second = 0;
        if (dot == std::string_view::npos) {
            if (!ParseNumber(key, first)) return fail("the key is not a string number");
            strings[static_cast<UINT>(first)] = value;
        } else {
            if (!ParseNumber(key.substr(0, dot), first) || !ParseNumber(key.substr(dot + 1), second))
                return fail("the key is not DIALOG.CONTROL");
            dialogs[{first, second}] = value;
        }
    }
    m_strings = std::move(strings);
    m_dialogs = std::move(dialogs);
    return true;
}

bool CLanguage::LoadFile(const CString& path, std::string& error) {
    CFile file;
    if (!file.Open(path, CFile::modeRead)) {
        error = "cannot open " + path;
        return false;
    }
    std::uint64_t length = file.GetLength();
    if (length > kMaxLanguageFileSize) {
        error = "larger than a language file can be";
        return false;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    if (file.Read(text.data(), static_cast<UINT>(text.size())) != text.size()) {
        error = "cannot read " + path;
        return false;
    }
    return Parse(text, error);
}

CString CLanguage::String(UINT id) const {
    if (auto it = m_strings.find(id); it != m_strings.end()) return it->second;
    const auto& builtIn = BuiltInStrings();
    auto it = builtIn.find(id);
    return it == builtIn.end() ? CString() : it->second;
}

CString CLanguage::DialogText(int dialog, int control, const CString& builtIn) const {
    auto it = m_dialogs.find({dialog, control});
    return it == m_dialogs.end() ? builtIn : it->second;
}

CString CLanguage::Translate(const CString& builtInText) const {
    if (builtInText.empty()) return builtInText;  // string 119 is handled where the status is shown
    for (const auto& [id, text] : BuiltInStrings())
        if (text == builtInText) {
            auto own = m_strings.find(id);
            return own == m_strings.end() ? builtInText : own->second;
        }
    return builtInText;
}

}  // namespace zel::updater

#include "platform/wine/wine_registry_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

#include "framework/codepage.h"
#include "framework/little_endian.h"

namespace zel::platform {
namespace {

constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
// Wine wraps hex data after the comma that takes a line past this column.
constexpr std::size_t kHexWrapColumn = 76;
// FILETIME of the Unix epoch, in seconds.
constexpr std::uint64_t kEpochSeconds = 11644473600ull;

// ---- 8-bit text <-> UTF-16 ----

// The UTF-16 unit of each byte of the ANSI code page.
const std::array<char16_t, 256>& AnsiUnits() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> units{};
        for (int byte = 0; byte < 256; ++byte) {
            char c = static_cast<char>(byte);
            std::string utf8 = codepage::Windows1252ToUtf8(std::string_view(&c, 1));
            auto b = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
            units[static_cast<std::size_t>(byte)] =
                utf8.size() == 1 ? b(0)
                : utf8.size() == 2
                    ? static_cast<char16_t>(((b(0) & 0x1F) << 6) | (b(1) & 0x3F))
                    : static_cast<char16_t>(((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F));
        }
        return units;
    }();
    return table;
}

std::u16string ToUtf16(const std::string& text) {
    const auto& table = AnsiUnits();
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out += table[static_cast<unsigned char>(c)];
    return out;
}

std::string ToAnsi(std::u16string_view units) { return codepage::Utf16ToWindows1252(units); }

bool IsHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one UTF-8 character at text[pos] into UTF-16; a byte that starts no valid sequence is
// taken as the Latin-1 character of that value.
void DecodeRawChar(std::string_view text, std::size_t& pos, std::u16string& out) {
    auto lead = static_cast<unsigned char>(text[pos]);
    int extra = lead < 0x80             ? 0
                : (lead & 0xE0) == 0xC0 ? 1
                : (lead & 0xF0) == 0xE0 ? 2
                : (lead & 0xF8) == 0xF0 ? 3
                                        : -1;
    if (extra > 0 && text.size() - pos > static_cast<std::size_t>(extra)) {
        char32_t cp = lead & (0x3F >> extra);
        bool ok = true;
        for (int i = 1; i <= extra && ok; ++i) {
            auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
            ok = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (ok && cp <= 0x10FFFF) {
            pos += static_cast<std::size_t>(extra) + 1;
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out += static_cast<char16_t>(0xD800 + (cp >> 10));
                out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
            } else {
                out += static_cast<char16_t>(cp);
            }
            return;
        }
    }
    out += static_cast<char16_t>(lead);
    ++pos;
}

// Reads an escaped string from text[pos] up to the unescaped `delimiter`, leaving pos on it.
// False when the text ends first.
bool ParseEscaped(std::string_view text, std::size_t& pos, char delimiter, std::u16string& out) {
    while (pos < text.size()) {
        char c = text[pos];
        if (c == delimiter) return true;
        if (c != '\\') {
            DecodeRawChar(text, pos, out);
            continue;
        }
        if (++pos >= text.size()) return false;
        char e = text[pos++];
        switch (e) {
            case 'a': out += u'\a'; break;
            case 'b': out += u'\b'; break;
            case 'e': out += char16_t{27}; break;
            case 'f': out += u'\f'; break;
            case 'n': out += u'\n'; break;
            case 'r': out += u'\r'; break;
            case 't': out += u'\t'; break;
            case 'v': out += u'\v'; break;
            case 'x': {
                char16_t value = 0;
                int digits = 0;
                while (digits < 4 && pos < text.size() && HexValue(text[pos]) >= 0) {
                    value = static_cast<char16_t>(value * 16 + HexValue(text[pos++]));
                    ++digits;
                }
                out += digits ? value : u'x';
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    char16_t value = static_cast<char16_t>(e - '0');
                    for (int digits = 1; digits < 3 && pos < text.size() && text[pos] >= '0' && text[pos] <= '7';
                         ++digits) {
                        value = static_cast<char16_t>(value * 8 + (text[pos++] - '0'));
                    }
                    out += value;
                } else {
                    --pos;
                    DecodeRawChar(text, pos, out);
                }
        }
    }
    return false;
}

// Writes UTF-16 text in Wine's escaped form; `delimiters` are escaped with a backslash too.
std::string Escape(std::u16string_view units, std::string_view delimiters) {
    static constexpr std::string_view kEscapes = ".......abtnvfr.............e....";
    std::string out;
    char buffer[16];
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t c = units[i];
        bool next_hex = i + 1 < units.size() && IsHexDigit(units[i + 1]);
        bool next_octal = i + 1 < units.size() && units[i + 1] >= '0' && units[i + 1] <= '7';
        if (c > 127) {
            std::snprintf(buffer, sizeof buffer, next_hex ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buffer;
        } else if (c < 32) {
            if (kEscapes[c] != '.') {
                out += '\\';
                out += kEscapes[c];
            } else {
                std::snprintf(buffer, sizeof buffer, next_octal ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += buffer;
            }
        } else if (c == '\\' || delimiters.find(static_cast<char>(c)) != std::string_view::npos) {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string EncodeKeyPath(const std::string& path) {
    std::string out;
    for (const auto& level : SplitKeyPath(path)) {
        if (!out.empty()) out += "\\\\";
        out += Escape(ToUtf16(level), "[]");
    }
    return out;
}

int ComparePaths(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (int c = CompareRegistryNames(a[i], b[i])) return c;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool IsBlankOrLineEnd(const std::string& text) { return text == "\n" || text == "\r\n"; }

std::string_view StripLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    return line;
}

// Parses a value line's name; pos is left after "=". False when the line is not a value line.
bool ParseValueName(std::string_view line, std::string& name, std::size_t& pos) {
    std::u16string units;
    if (!line.empty() && line[0] == '@') {
        pos = 1;
    } else if (!line.empty() && line[0] == '"') {
        pos = 1;
        if (!ParseEscaped(line, pos, '"', units)) return false;
        ++pos;
    } else {
        return false;
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (pos >= line.size() || line[pos] != '=') return false;
    ++pos;
    name = ToAnsi(units);
    return true;
}

// True when a value line's data (from just after "=") is hex data, which continues over the next
// line while a line ends in a backslash.
bool HoldsHexData(std::string_view data) {
    data.remove_prefix(std::min(data.find_first_not_of(" \t"), data.size()));
    return data.substr(0, 3) == "hex";
}

// True when the last line of `text` (its line end aside, stripped as the parser strips it, stray
// carriage returns included) ends in the continuation mark.
bool LastLineContinues(std::string_view text) {
    text = StripLineEnd(text);
    return !text.empty() && text.back() == '\\';
}

// Parses "hex:" data (continuation lines included) into bytes; false when malformed.
bool ParseHexBytes(std::string_view text, std::string& bytes) {
    std::size_t pos = 0;
    auto skip_continuation = [&] {
        if (pos < text.size() && text[pos] == '\\') {
            std::size_t p = pos + 1;
            if (p < text.size() && text[p] == '\r') ++p;
            if (p < text.size() && text[p] == '\n') {
                pos = p + 1;
                while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
            }
        }
    };
    text = StripLineEnd(text);
    while (pos < text.size()) {
        skip_continuation();
        if (pos >= text.size()) break;
        int high = HexValue(text[pos]);
        if (high < 0) return false;
        int value = high;
        ++pos;
        if (pos < text.size() && HexValue(text[pos]) >= 0) value = value * 16 + HexValue(text[pos++]);
        bytes += static_cast<char>(value);
        if (pos >= text.size()) break;
        if (text[pos] != ',') return false;
        ++pos;
        skip_continuation();
    }
    return true;
}

// UTF-16LE bytes of string-type data -> the 8-bit form.
std::string AnsiFromUtf16Bytes(const std::string& bytes) {
    std::u16string units;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(LoadLe16(data + i, data + bytes.size()));
    }
    return ToAnsi(units);
}

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Decodes the data of a value line (from just after "=").
void ParseValueData(std::string_view text, RegistryValue& value) {
    value.type = kRegNone;
    value.data.clear();
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    text.remove_prefix(pos);
    auto take_type = [&](std::string_view prefix, std::uint32_t& type) {
        if (text.substr(0, prefix.size()) != prefix) return false;
        text.remove_prefix(prefix.size());
        if (!text.empty() && text[0] == ':') {
            text.remove_prefix(1);
            return true;
        }
        if (text.empty() || text[0] != '(') return false;
        std::size_t close = text.find(')');
        if (close == std::string_view::npos || close < 2 || close > 9 || close + 1 >= text.size() ||
            text[close + 1] != ':') {
            return false;
        }
        std::uint32_t number = 0;
        for (std::size_t i = 1; i < close; ++i) {
            int digit = HexValue(text[i]);
            if (digit < 0) return false;
            number = number * 16 + static_cast<std::uint32_t>(digit);
        }
        type = number;
        text.remove_prefix(close + 2);
        return true;
    };
    std::uint32_t type = kRegSz;
    if (!text.empty() && text[0] == '"') {
        type = kRegSz;
    } else if (take_type("str", type)) {
        if (text.empty() || text[0] != '"') return;
    } else {
        if (text.substr(0, 6) == "dword:") {
            std::string_view digits = StripLineEnd(text.substr(6));
            if (digits.empty() || digits.size() > 8) return;
            std::uint32_t number = 0;
            for (char c : digits) {
                if (HexValue(c) < 0) return;
                number = number * 16 + static_cast<std::uint32_t>(HexValue(c));
            }
            value.type = kRegDword;
            for (int i = 0; i < 4; ++i) value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
            return;
        }
        type = kRegBinary;
        if (!take_type("hex", type)) return;
        std::string bytes;
        if (!ParseHexBytes(text, bytes)) return;
        value.type = type;
        value.data = IsStringType(type) ? AnsiFromUtf16Bytes(bytes) : bytes;
        return;
    }
    std::size_t at = 1;
    std::u16string units;
    if (!ParseEscaped(text, at, '"', units)) return;
    units += u'\0';
    value.type = type;
    value.data = ToAnsi(units);
}

void FormatHex(const std::string& bytes, std::string& line, const std::string& eol) {
    std::size_t column = line.size();
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        line += buffer;
        column += 2;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (++column > kHexWrapColumn) {
                line += "\\" + eol + "  ";
                column = 2;
            }
        }
    }
}

std::string HeaderLine(const std::string& raw_path, std::uint64_t filetime, const std::string& eol) {
    std::uint64_t seconds = filetime / 10000000ull;
    auto unix_time = static_cast<std::uint32_t>(seconds > kEpochSeconds ? seconds - kEpochSeconds : 0);
    return "[" + raw_path + "] " + std::to_string(unix_time) + eol;
}

std::string TimeLine(std::uint64_t filetime, const std::string& eol) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "#time=%llx", static_cast<unsigned long long>(filetime));
    return buffer + eol;
}

}  // namespace

std::optional<WineRegistryFile> WineRegistryFile::Parse(std::string_view bytes, std::string& error) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    if (lines.empty() || StripLineEnd(lines[0]) != kHeader) {
        error = "not a Wine registry file (its first line is not \"WINE REGISTRY Version 2\")";
        return std::nullopt;
    }
    WineRegistryFile file;
    file.m_eol = lines[0].size() >= 2 && lines[0][lines[0].size() - 2] == '\r' ? "\r\n" : "\n";
    Block* current = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::size_t pos = 1;
        std::u16string path_units;
        if (!line.empty() && line[0] == '[' && ParseEscaped(line, pos, ']', path_units)) {
            Block block;
            block.raw_path = std::string(line.substr(1, pos - 1));
            block.path = JoinKeyPath("", ToAnsi(path_units));
            block.header = std::string(line);
            file.m_blocks.push_back(std::move(block));
            current = &file.m_blocks.back();
            continue;
        }
        if (!current) {
            file.m_prologue += line;
            continue;
        }
        Entry entry;
        entry.text = std::string(line);
        std::size_t data_at = 0;
        if (line.substr(0, 6) == "#time=") {
            entry.kind = LineKind::kTime;
        } else if (ParseValueName(StripLineEnd(line), entry.name, data_at)) {
            entry.kind = LineKind::kValue;
            // Hex data continues over the following lines while a line ends in a backslash.
            if (HoldsHexData(line.substr(data_at))) {
                while (!StripLineEnd(lines[i]).empty() && StripLineEnd(lines[i]).back() == '\\' &&
                       i + 1 < lines.size()) {
                    entry.text += lines[++i];
                }
            }
        }
        current->entries.push_back(std::move(entry));
    }
    return file;
}

WineRegistryFile WineRegistryFile::CreateEmpty(const std::string& relative_to, const std::string& arch) {
    WineRegistryFile file;
    file.m_prologue = std::string(kHeader) + "\n;; All keys relative to " + Escape(ToUtf16(relative_to), "") +
                      "\n\n#arch=" + arch + "\n\n";
    return file;
}

std::string WineRegistryFile::ArchOf(std::string_view bytes) {
    static constexpr std::string_view kArch = "\n#arch=";
    std::size_t at = bytes.find(kArch);
    if (at == std::string_view::npos) return "";
    std::string_view rest = StripLineEnd(bytes.substr(at + kArch.size(), 6));
    return rest == "win32" || rest == "win64" ? std::string(rest) : "";
}

std::string WineRegistryFile::Serialize() const {
    std::string out = m_prologue;
    for (const auto& block : m_blocks) {
        out += block.header;
        for (const auto& entry : block.entries) out += entry.text;
    }
    return out;
}

const WineRegistryFile::Block* WineRegistryFile::FindBlock(const std::string& path) const {
    std::string wanted = JoinKeyPath("", path);
    for (const auto& block : m_blocks) {
        if (RegistryNamesEqual(block.path, wanted)) return &block;
    }
    return nullptr;
}

WineRegistryFile::Block* WineRegistryFile::FindBlock(const std::string& path) {
    return const_cast<Block*>(static_cast<const WineRegistryFile*>(this)->FindBlock(path));
}

std::vector<WineRegistryFile::Block*> WineRegistryFile::BlocksOf(const std::string& path) {
    std::string wanted = JoinKeyPath("", path);
    std::vector<Block*> blocks;
    for (auto& block : m_blocks) {
        if (RegistryNamesEqual(block.path, wanted)) blocks.push_back(&block);
    }
    return blocks;
}

bool WineRegistryFile::HasKey(const std::string& path) const {
    std::string wanted = JoinKeyPath("", path);
    if (wanted.empty()) return true;
    for (const auto& block : m_blocks) {
        const std::string& have = block.path;
        if (have.size() < wanted.size()) continue;
        if (have.size() > wanted.size() && have[wanted.size()] != '\\') continue;
        if (RegistryNamesEqual(have.substr(0, wanted.size()), wanted)) return true;
    }
    return false;
}

std::vector<WineRegistryFile::ValueRef> WineRegistryFile::ValueRefs(const std::string& path) const {
    std::string wanted = JoinKeyPath("", path);
    std::vector<ValueRef> refs;
    std::unordered_map<std::string, std::size_t> seen;
    for (const auto& block : m_blocks) {
        if (!RegistryNamesEqual(block.path, wanted)) continue;
        for (const auto& entry : block.entries) {
            if (entry.kind != LineKind::kValue) continue;
            auto [at, added] = seen.emplace(FoldRegistryName(entry.name), refs.size());
            if (added) {
                refs.push_back(ValueRef{entry.name, &entry});
            } else {
                refs[at->second].last = &entry;
            }
        }
    }
    return refs;
}

namespace {

void DecodeEntry(const std::string& name, std::string_view text, RegistryValue& value) {
    std::size_t data_at = 0;
    std::string ignored;
    ParseValueName(StripLineEnd(text), ignored, data_at);
    value.name = name;
    ParseValueData(text.substr(data_at), value);
}

}  // namespace

bool WineRegistryFile::EnumValue(const std::string& path, std::size_t index, RegistryValue& value) const {
    auto refs = ValueRefs(path);
    if (index >= refs.size()) return false;
    DecodeEntry(refs[index].name, refs[index].last->text, value);
    return true;
}

bool WineRegistryFile::QueryValue(const std::string& path, const std::string& name, RegistryValue& value) const {
    for (const auto& ref : ValueRefs(path)) {
        if (!RegistryNamesEqual(ref.name, name)) continue;
        DecodeEntry(ref.name, ref.last->text, value);
        return true;
    }
    return false;
}

std::vector<RegistryValue> WineRegistryFile::Values(const std::string& path) const {
    std::vector<RegistryValue> values;
    for (const auto& ref : ValueRefs(path)) {
        DecodeEntry(ref.name, ref.last->text, values.emplace_back());
    }
    return values;
}

void WineRegistryFile::EnsureLineEnd(std::string& text, const std::string& eol) {
    if (text.empty() || text.back() != '\n') text += eol;
}

void WineRegistryFile::CloseEntry(Entry& entry) const {
    EnsureLineEnd(entry.text, m_eol);
    if (entry.kind != LineKind::kValue || !LastLineContinues(entry.text)) return;
    std::size_t data_at = 0;
    std::string name;
    if (ParseValueName(StripLineEnd(entry.text), name, data_at) &&
        HoldsHexData(std::string_view(entry.text).substr(data_at))) {
        entry.text += m_eol;
    }
}

WineRegistryFile::Block& WineRegistryFile::InsertBlock(const std::string& path, std::uint64_t filetime) {
    std::string normal = JoinKeyPath("", path);
    auto levels = SplitKeyPath(normal);
    auto at = std::find_if(m_blocks.begin(), m_blocks.end(),
                           [&](const Block& block) { return ComparePaths(SplitKeyPath(block.path), levels) > 0; });
    // Blocks are separated by a blank line; the one before an appended block may lack it.
    if (at == m_blocks.end()) {
        if (m_blocks.empty()) {
            EnsureLineEnd(m_prologue, m_eol);
        } else if (auto& entries = m_blocks.back().entries; entries.empty() || !IsBlankOrLineEnd(entries.back().text)) {
            if (entries.empty()) {
                EnsureLineEnd(m_blocks.back().header, m_eol);
            } else {
                CloseEntry(entries.back());
            }
            entries.push_back(Entry{LineKind::kOther, m_eol, {}});
        }
    }
    Block block;
    block.raw_path = EncodeKeyPath(normal);
    block.path = normal;
    block.header = HeaderLine(block.raw_path, filetime, m_eol);
    block.entries.push_back(Entry{LineKind::kTime, TimeLine(filetime, m_eol), {}});
    block.entries.push_back(Entry{LineKind::kOther, m_eol, {}});
    return *m_blocks.insert(at, std::move(block));
}

void WineRegistryFile::Touch(Block& block, std::uint64_t filetime) {
    auto line_end = [&](const std::string& text) {
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) return std::string("\r\n");
        return text.empty() || text.back() != '\n' ? m_eol : std::string("\n");
    };
    block.header = HeaderLine(block.raw_path, filetime, line_end(block.header));
    for (auto& entry : block.entries) {
        if (entry.kind == LineKind::kTime) {
            bool last = &entry == &block.entries.back() && entry.text.back() != '\n';
            entry.text = TimeLine(filetime, line_end(entry.text));
            if (last) entry.text.resize(entry.text.size() - m_eol.size());
            return;
        }
    }
    block.entries.insert(block.entries.begin(), Entry{LineKind::kTime, TimeLine(filetime, m_eol), {}});
}

void WineRegistryFile::CreateKey(const std::string& path, std::uint64_t filetime) {
    if (!HasKey(path)) InsertBlock(path, filetime);
}

bool WineRegistryFile::SetValue(const std::string& path, const RegistryValue& value, std::uint64_t filetime) {
    std::vector<Block*> blocks = BlocksOf(path);
    if (blocks.empty()) {
        if (!HasKey(path)) return false;
        // A key that only holds subkeys has no block yet.
        blocks.push_back(&InsertBlock(path, filetime));
    }
    std::string folded = FoldRegistryName(value.name);
    bool replaced = false;
    for (Block* block : blocks) {
        bool changed = false;
        for (auto it = block->entries.begin(); it != block->entries.end();) {
            if (it->kind != LineKind::kValue || FoldRegistryName(it->name) != folded) {
                ++it;
                continue;
            }
            changed = true;
            if (replaced) {
                // Wine reads the last appearance of a name: one left behind would hide the new data.
                it = block->entries.erase(it);
                continue;
            }
            // The first spelling of a name stays, as Windows keeps it.
            RegistryValue renamed = value;
            renamed.name = it->name;
            bool had_end = it->text.back() == '\n';
            std::string eol = it->text.size() >= 2 && it->text[it->text.size() - 2] == '\r' ? "\r\n" : m_eol;
            it->text = FormatValue(renamed, eol) + (had_end ? eol : "");
            replaced = true;
            ++it;
        }
        if (changed) Touch(*block, filetime);
    }
    if (replaced) return true;
    Block* block = blocks.front();
    auto& entries = block->entries;
    // Values stay sorted: before the first one whose name sorts after, else after the last value
    // (or after the key's directives when it has none).
    std::size_t at = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].kind == LineKind::kValue) {
            if (CompareRegistryNames(entries[i].name, value.name) > 0) {
                at = i;
                break;
            }
            at = i + 1;
        } else if (at == i && (entries[i].kind == LineKind::kTime || entries[i].text.rfind('#', 0) == 0)) {
            at = i + 1;
        }
    }
    if (at > 0) CloseEntry(entries[at - 1]);
    if (at == 0) EnsureLineEnd(block->header, m_eol);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at),
                   Entry{LineKind::kValue, FormatValue(value, m_eol) + m_eol, value.name});
    Touch(*block, filetime);
    return true;
}

bool WineRegistryFile::DeleteValue(const std::string& path, const std::string& name, std::uint64_t filetime) {
    std::string folded = FoldRegistryName(name);
    bool deleted = false;
    for (Block* block : BlocksOf(path)) {
        auto& entries = block->entries;
        auto kept = std::remove_if(entries.begin(), entries.end(), [&](const Entry& entry) {
            return entry.kind == LineKind::kValue && FoldRegistryName(entry.name) == folded;
        });
        if (kept == entries.end()) continue;
        entries.erase(kept, entries.end());
        Touch(*block, filetime);
        deleted = true;
    }
    return deleted;
}

std::string WineRegistryFile::FormatValue(const RegistryValue& value, const std::string& eol) {
    std::string line = value.name.empty() ? "@" : "\"" + Escape(ToUtf16(value.name), "\"") + "\"";
    line += '=';
    char buffer[32];
    if (IsStringType(value.type)) {
        std::u16string units = ToUtf16(value.data);
        if (!units.empty() && units.back() == 0) {
            units.pop_back();
            if (value.type != kRegSz) {
                std::snprintf(buffer, sizeof buffer, "str(%x):", static_cast<unsigned>(value.type));
                line += buffer;
            }
            line += "\"" + Escape(units, "\"") + "\"";
            return line;
        }
        std::string bytes;
        for (char16_t unit : units) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
        line += buffer;
        FormatHex(bytes, line, eol);
        return line;
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        const auto* data = reinterpret_cast<const std::uint8_t*>(value.data.data());
        std::uint32_t number = LoadLe32(data, data + value.data.size());
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        return line + buffer;
    }
    if (value.type == kRegBinary) {
        line += "hex:";
    } else {
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.type));
        line += buffer;
    }
    FormatHex(value.data, line, eol);
    return line;
}

}  // namespace zel::platform

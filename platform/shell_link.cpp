#include "platform/shell_link.h"

#include <cstdint>

#include "framework/codepage.h"

namespace zel::platform {
namespace {

// Header fields.
constexpr std::size_t kHeaderSize = 0x4C;
constexpr std::size_t kClsidOffset = 0x04;
constexpr std::size_t kFlagsOffset = 0x14;
constexpr unsigned char kShellLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// Link flags.
constexpr std::uint32_t kHasIdList = 0x01;
constexpr std::uint32_t kHasLinkInfo = 0x02;
constexpr std::uint32_t kHasName = 0x04;
constexpr std::uint32_t kHasRelativePath = 0x08;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kHasIconLocation = 0x40;
constexpr std::uint32_t kIsUnicode = 0x80;
// LinkInfo fields (offsets within the structure).
constexpr std::size_t kLinkInfoMinimumHeader = 0x1C;
constexpr std::size_t kLinkInfoUnicodeHeader = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x01;
constexpr std::uint32_t kCommonNetworkRelativeLink = 0x02;

// A bounded view: every read checks the remaining length first.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    bool U16(std::size_t at, std::uint32_t& value) const { return Read(at, 2, value); }
    bool U32(std::size_t at, std::uint32_t& value) const { return Read(at, 4, value); }
    std::size_t size() const { return m_bytes.size(); }
    std::string_view bytes() const { return m_bytes; }

    // A zero-terminated 8-bit string at `at`; false when it runs past the end.
    bool AnsiZ(std::size_t at, std::string& out) const {
        if (at >= m_bytes.size()) return false;
        std::size_t end = m_bytes.find('\0', at);
        if (end == std::string_view::npos) return false;
        out = std::string(m_bytes.substr(at, end - at));
        return true;
    }
    // A zero-terminated UTF-16 string at `at`, converted to the ANSI code page.
    bool UnicodeZ(std::size_t at, std::string& out) const {
        std::u16string units;
        for (std::size_t p = at;; p += 2) {
            std::uint32_t unit;
            if (!U16(p, unit)) return false;
            if (unit == 0) break;
            units += static_cast<char16_t>(unit);
        }
        out = codepage::Utf16ToWindows1252(units);
        return true;
    }

private:
    bool Read(std::size_t at, std::size_t width, std::uint32_t& value) const {
        if (at > m_bytes.size() || m_bytes.size() - at < width) return false;
        value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value |= static_cast<std::uint32_t>(static_cast<unsigned char>(m_bytes[at + i])) << (8 * i);
        }
        return true;
    }
    std::string_view m_bytes;
};

std::string JoinSuffix(const std::string& base, const std::string& suffix) {
    if (suffix.empty()) return base;
    if (!base.empty() && base.back() == '\\') return base + suffix;
    return base + "\\" + suffix;
}

// Reads the LinkInfo structure (all of `info`) into the target.
bool ParseLinkInfo(const Reader& info, std::string& target) {
    std::uint32_t header_size, flags, local_offset, network_offset, suffix_offset;
    if (!info.U32(4, header_size) || !info.U32(8, flags) || !info.U32(16, local_offset) ||
        !info.U32(20, network_offset) || !info.U32(24, suffix_offset) || header_size < kLinkInfoMinimumHeader ||
        header_size > info.size()) {
        return false;
    }
    std::uint32_t local_unicode = 0, suffix_unicode = 0;
    if (header_size >= kLinkInfoUnicodeHeader && (!info.U32(28, local_unicode) || !info.U32(32, suffix_unicode))) {
        return false;
    }
    std::string base;
    if (flags & kVolumeIdAndLocalBasePath) {
        if (!(local_unicode ? info.UnicodeZ(local_unicode, base) : info.AnsiZ(local_offset, base))) return false;
    } else if (flags & kCommonNetworkRelativeLink) {
        Reader network(info.bytes().substr(std::min<std::size_t>(network_offset, info.size())));
        std::uint32_t size, name_offset, name_unicode = 0;
        if (!network.U32(0, size) || size > network.size() || !network.U32(8, name_offset)) return false;
        Reader link(network.bytes().substr(0, size));
        if (name_offset > 0x14 && !link.U32(0x14, name_unicode)) return false;
        if (!(name_unicode ? link.UnicodeZ(name_unicode, base) : link.AnsiZ(name_offset, base))) return false;
    } else {
        return true;  // no target
    }
    std::string suffix;
    if (suffix_unicode) {
        if (!info.UnicodeZ(suffix_unicode, suffix)) return false;
    } else if (suffix_offset && !info.AnsiZ(suffix_offset, suffix)) {
        return false;
    }
    target = JoinSuffix(base, suffix);
    return true;
}

// Reads one counted string of the string data; false when it runs past the end.
bool ParseCountedString(const Reader& file, std::size_t& pos, bool unicode, std::string& out) {
    std::uint32_t count;
    if (!file.U16(pos, count)) return false;
    pos += 2;
    std::size_t width = unicode ? 2 : 1;
    if (file.size() - pos < count * width) return false;
    if (unicode) {
        std::u16string units;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t unit = 0;
            file.U16(pos + 2 * i, unit);
            units += static_cast<char16_t>(unit);
        }
        out = codepage::Utf16ToWindows1252(units);
    } else {
        out = std::string(file.bytes().substr(pos, count));
    }
    pos += count * width;
    // Wine counts the terminating zero it writes.
    if (!out.empty() && out.back() == '\0') out.pop_back();
    return true;
}

}  // namespace

std::optional<ShellLink> ParseShellLink(std::string_view bytes) {
    Reader file(bytes);
    std::uint32_t header_size, flags;
    if (!file.U32(0, header_size) || header_size != kHeaderSize || file.size() < kHeaderSize ||
        bytes.substr(kClsidOffset, 16) != std::string_view(reinterpret_cast<const char*>(kShellLinkClsid), 16) ||
        !file.U32(kFlagsOffset, flags)) {
        return std::nullopt;
    }
    std::size_t pos = kHeaderSize;
    if (flags & kHasIdList) {
        std::uint32_t size;
        if (!file.U16(pos, size) || file.size() - pos - 2 < size) return std::nullopt;
        pos += 2 + size;
    }
    ShellLink link;
    if (flags & kHasLinkInfo) {
        std::uint32_t size;
        if (!file.U32(pos, size) || size < kLinkInfoMinimumHeader || size > file.size() - pos) return std::nullopt;
        if (!ParseLinkInfo(Reader(bytes.substr(pos, size)), link.target)) return std::nullopt;
        pos += size;
    }
    // The strings come after the target; a shortcut whose target was read stays readable when they
    // are damaged (Wine writes an undeclared relative path, for one).
    bool unicode = flags & kIsUnicode;
    const std::pair<std::uint32_t, std::string*> strings[] = {
        {kHasName, &link.name},           {kHasRelativePath, &link.relative_path}, {kHasWorkingDir, &link.working_dir},
        {kHasArguments, &link.arguments}, {kHasIconLocation, &link.icon_location},
    };
    for (const auto& [flag, out] : strings) {
        if ((flags & flag) && !ParseCountedString(file, pos, unicode, *out)) break;
    }
    return link;
}

}  // namespace zel::platform

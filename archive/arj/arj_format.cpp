#include "archive/arj/arj_format.h"

#include <cstring>

#include "framework/codepage.h"
#include "framework/codepage_oem.h"
#include "framework/little_endian.h"

namespace zel::arj {
namespace {

// Offsets within the basic header, counted from its first byte after the id and size fields.
constexpr std::size_t kFirstHeaderSizeAt = 0;
constexpr std::size_t kArchiverVersionAt = 1;
constexpr std::size_t kMinVersionAt = 2;
constexpr std::size_t kHostSystemAt = 3;
constexpr std::size_t kFlagsAt = 4;
constexpr std::size_t kMethodAt = 5;
constexpr std::size_t kFileTypeAt = 6;
constexpr std::size_t kCompressedSizeAt = 12;
constexpr std::size_t kOriginalSizeAt = 16;
constexpr std::size_t kFileCrcAt = 20;
// The newest minimum version that this reader's decoders handle.
constexpr std::uint8_t kMaxMinVersion = 3;
// Archiver version 1 never wrote method 4; a header that claims it is damaged.
constexpr std::uint8_t kVersionWithoutFastest = 1;

}  // namespace

std::optional<Header> ParseBasicHeader(const std::uint8_t* data, std::size_t size) {
    if (size < kMinFirstHeaderSize) return std::nullopt;
    std::size_t first_size = data[kFirstHeaderSizeAt];
    if (first_size < kMinFirstHeaderSize || first_size > size) return std::nullopt;
    Header header;
    header.archiver_version = data[kArchiverVersionAt];
    header.min_version = data[kMinVersionAt];
    header.host_system = data[kHostSystemAt];
    header.flags = data[kFlagsAt];
    header.method = data[kMethodAt];
    header.file_type = data[kFileTypeAt];
    const std::uint8_t* limit = data + size;
    header.compressed_size = LoadLe32(data + kCompressedSizeAt, limit);
    header.original_size = LoadLe32(data + kOriginalSizeAt, limit);
    header.file_crc = LoadLe32(data + kFileCrcAt, limit);
    // The name follows the first header part and ends at a zero byte (or at the header's end).
    const auto* name = reinterpret_cast<const char*>(data + first_size);
    std::size_t room = size - first_size;
    const void* end = std::memchr(name, 0, room);
    header.stored_name.assign(name, end ? static_cast<const char*>(end) - name : room);
    return header;
}

std::string DisplayName(const Header& header) {
    std::string name = header.stored_name;
    bool unix_host = header.host_system == kHostUnix || header.host_system == kHostNext;
    // A Unix host may store "/" without saying so; "\" is then an ordinary character there, but
    // every reader of this interface takes it for the separator.
    if ((header.flags & kFlagPathSlash) || unix_host) {
        for (char& c : name) {
            if (c == '/') c = '\\';
        }
    }
    if (unix_host && codepage::IsValidUtf8(name)) return name;
    return codepage::Cp437ToUtf8(name);
}

bool IsExtractable(const Header& header) {
    if (header.min_version > kMaxMinVersion || (header.flags & kFlagGarbled)) return false;
    if (header.method > kMethodFastest) return false;
    if (header.method == kMethodFastest && header.archiver_version == kVersionWithoutFastest) return false;
    return header.file_type == kTypeBinary || header.file_type == kTypeText;
}

bool IsVolumePart(const Header& header) { return (header.flags & (kFlagContinuesNext | kFlagContinued)) != 0; }

}  // namespace zel::arj

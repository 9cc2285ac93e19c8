// The ARJ archive format: header layout, limits, and the parsing of one basic header.
// See docs/formats/arj.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zel::arj {

// Every header starts with these two bytes (the little-endian value 60000).
constexpr std::uint8_t kHeaderIdLow = 0x60;
constexpr std::uint8_t kHeaderIdHigh = 0xEA;
constexpr std::uint16_t kHeaderId = 60000;
// The largest basic header that the archiver writes; a larger size marks a damaged header.
constexpr std::size_t kMaxHeaderSize = 2600;
// A self-extracting archive's main header must begin within its first 25,000 bytes, which is
// more than any extractor stub needs and bounds the search in files that are no archives.
constexpr std::uint64_t kMaxMainHeaderOffset = 25000;
// The fixed fields that the reader uses end at offset 30 of the header, 26 bytes into the part
// that the "first header size" counts.
constexpr std::size_t kMinFirstHeaderSize = 26;

// Flag bits of a header.
constexpr std::uint8_t kFlagGarbled = 0x01;        // enciphered with a password
constexpr std::uint8_t kFlagContinuesNext = 0x04;  // the file goes on in the next volume
constexpr std::uint8_t kFlagContinued = 0x08;      // the file began in the previous volume
constexpr std::uint8_t kFlagPathSlash = 0x10;      // the stored name uses "/" as its separator

// File types.
constexpr std::uint8_t kTypeBinary = 0;
constexpr std::uint8_t kTypeText = 1;
constexpr std::uint8_t kTypeComment = 2;
constexpr std::uint8_t kTypeDirectory = 3;
constexpr std::uint8_t kTypeVolumeLabel = 4;

// Methods: 0 stored, 1 to 3 compressed with Huffman blocks, 4 compressed fastest.
constexpr std::uint8_t kMethodStored = 0;
constexpr std::uint8_t kMethodFastest = 4;

// Host systems whose names are stored as they are (every other host writes the DOS code page).
constexpr std::uint8_t kHostUnix = 2;
constexpr std::uint8_t kHostNext = 8;

// The fields of one basic header that the reader uses.
struct Header {
    std::uint8_t archiver_version = 0;
    std::uint8_t min_version = 0;
    std::uint8_t host_system = 0;
    std::uint8_t flags = 0;
    std::uint8_t method = 0;
    std::uint8_t file_type = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t original_size = 0;
    std::uint32_t file_crc = 0;
    std::string stored_name;  // as stored, without its terminating zero
};

// Parses the `size` bytes of a basic header that follow its id and size fields. nullopt when the
// first header size does not fit in them.
std::optional<Header> ParseBasicHeader(const std::uint8_t* data, std::size_t size);

// The name that the interface returns: "\" for a stored "/" when the header says so or the
// archive was written on a Unix host; the DOS code page converted to UTF-8, unless a Unix host
// wrote the name and it is valid UTF-8.
std::string DisplayName(const Header& header);

// Whether the reader can extract the entry: minimum version at most 3, not garbled, method 0 to 4
// (method 4 not from archiver version 1), binary or text.
bool IsExtractable(const Header& header);

// Whether the entry holds only part of a file that other volumes of a set continue.
bool IsVolumePart(const Header& header);

}  // namespace zel::arj

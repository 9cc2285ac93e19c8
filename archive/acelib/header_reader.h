// Parses the blocks of an ACE archive from their bytes. Knows nothing of files: the archive
// reader hands it the HEAD_SIZE bytes of one block (after its CRC and size fields).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zel::ace {

struct MainHeader {
    std::uint16_t flags = 0;
    std::uint8_t versionNeeded = 0;
    std::uint8_t versionMade = 0;
    std::uint8_t host = 0;
    std::uint8_t volume = 0;
};

struct FileHeader {
    std::uint16_t flags = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t originalSize = 0;
    std::uint32_t time = 0;
    std::uint32_t attributes = 0;
    std::uint32_t crc = 0;
    std::uint8_t method = 0;
    std::uint8_t quality = 0;
    std::uint16_t parameters = 0;
    std::string name;  // as stored (OEM code page), cut at the first zero byte

    unsigned DictionaryBits() const { return (parameters & 0x0F) + 10u; }
    bool IsDirectory() const;
    bool IsEncrypted() const;
};

struct Block {
    std::uint8_t type = 0;
    std::uint16_t flags = 0;
    std::uint64_t dataSize = 0;  // bytes of data after the header (the ADDSIZE field)
    std::optional<MainHeader> main;
    std::optional<FileHeader> file;
};

// True when the low 16 bits of the ACE CRC of `body` equal `crc`.
bool HeaderCrcMatches(std::uint16_t crc, const std::uint8_t* body, std::size_t size);

// Parses one block body (its CRC already checked). Main and file headers are decoded, any other
// type is only sized so that it can be skipped. Throws AceError(kFormat) for a malformed block.
Block ParseBlock(const std::uint8_t* body, std::size_t size);

}  // namespace zel::ace

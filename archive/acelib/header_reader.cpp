#include "archive/acelib/header_reader.h"

#include <cstring>

#include "archive/acelib/ace_crc.h"
#include "archive/acelib/ace_error.h"
#include "archive/acelib/ace_format.h"
#include "framework/little_endian.h"

namespace zel::ace {
namespace {

[[noreturn]] void Malformed(const char* what) { throw AceError(AceError::kFormat, what); }

// Reads little-endian fields from a block body, never past its end.
class FieldReader {
public:
    FieldReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::size_t Left() const { return m_size - m_offset; }
    void Need(std::size_t count) const {
        if (count > Left()) Malformed("header field past the end of its block");
    }
    // A field of 1, 2, 4 or 8 bytes.
    std::uint64_t Uint(std::size_t bytes) {
        Need(bytes);
        const std::uint8_t* field = m_data + m_offset;
        m_offset += bytes;
        return LoadLe64(field, field + bytes);
    }
    const std::uint8_t* Take(std::size_t count) {
        Need(count);
        const std::uint8_t* at = m_data + m_offset;
        m_offset += count;
        return at;
    }
    void Seek(std::size_t offset) { m_offset = offset; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

MainHeader ParseMain(FieldReader& fields, std::uint16_t flags) {
    if (flags & kFlagAddSize) Malformed("main header with a data size");
    const std::uint8_t* signature = fields.Take(kSignatureSize);
    if (std::memcmp(signature, kSignature, kSignatureSize) != 0) Malformed("no ACE signature");
    MainHeader main;
    main.flags = flags;
    main.versionNeeded = static_cast<std::uint8_t>(fields.Uint(1));
    main.versionMade = static_cast<std::uint8_t>(fields.Uint(1));
    main.host = static_cast<std::uint8_t>(fields.Uint(1));
    main.volume = static_cast<std::uint8_t>(fields.Uint(1));
    fields.Uint(4);  // creation time
    // The AV string and comment that may follow are not needed for reading the archive.
    return main;
}

FileHeader ParseFile(FieldReader& fields, std::uint8_t type, std::uint16_t flags) {
    // The packed size is always there, even in the rare headers that do not set the ADDSIZE flag.
    const bool wide = (flags & kFlag64Bit) != 0;
    if (wide != (type == kTypeFile64)) Malformed("file header size width does not match its type");
    FileHeader file;
    file.flags = flags;
    file.packedSize = fields.Uint(wide ? 8 : 4);
    file.originalSize = fields.Uint(wide ? 8 : 4);
    file.time = static_cast<std::uint32_t>(fields.Uint(4));
    file.attributes = static_cast<std::uint32_t>(fields.Uint(4));
    file.crc = static_cast<std::uint32_t>(fields.Uint(4));
    file.method = static_cast<std::uint8_t>(fields.Uint(1));
    file.quality = static_cast<std::uint8_t>(fields.Uint(1));
    file.parameters = static_cast<std::uint16_t>(fields.Uint(2));
    fields.Uint(2);  // reserved
    auto nameSize = static_cast<std::size_t>(fields.Uint(2));
    const std::uint8_t* name = fields.Take(nameSize);
    std::size_t length = 0;
    while (length < nameSize && name[length] != 0) ++length;
    file.name.assign(reinterpret_cast<const char*>(name), length);
    if (flags & kFlagComment) {
        auto commentSize = static_cast<std::size_t>(fields.Uint(2));
        fields.Take(commentSize);  // comments are not needed; only their bounds are checked
    }
    return file;
}

}  // namespace

bool FileHeader::IsDirectory() const { return (attributes & kAttributeDirectory) != 0; }
bool FileHeader::IsEncrypted() const { return (flags & kFileFlagEncrypted) != 0; }

bool HeaderCrcMatches(std::uint16_t crc, const std::uint8_t* body, std::size_t size) {
    return Crc16(body, size) == crc;
}

Block ParseBlock(const std::uint8_t* body, std::size_t size) {
    if (size < kMinHeaderSize) Malformed("block header too short");
    FieldReader fields(body, size);
    Block block;
    block.type = static_cast<std::uint8_t>(fields.Uint(1));
    block.flags = static_cast<std::uint16_t>(fields.Uint(2));
    if (block.type == kTypeMain) {
        block.main = ParseMain(fields, block.flags);
    } else if (block.type == kTypeFile32 || block.type == kTypeFile64) {
        block.file = ParseFile(fields, block.type, block.flags);
        block.dataSize = block.file->packedSize;
    } else if (block.flags & kFlagAddSize) {
        // Recovery records and types this reader does not know are passed over by their size.
        block.dataSize = fields.Uint((block.flags & kFlag64Bit) ? 8 : 4);
    }
    return block;
}

}  // namespace zel::ace

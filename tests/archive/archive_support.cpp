#include "tests/archive/archive_support.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>

namespace zel::test {

using zel::testing::Utf8Path;
using zel::testing::Utf8String;

std::string Fixture(const std::string& name) { return std::string(ZEL_ARCHIVE_FIXTURES) + "/" + name; }
std::string Reference(const std::string& name) { return std::string(ZEL_ARCHIVE_FIXTURES) + "/ref/" + name; }

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(Utf8Path(path), std::ios::binary | std::ios::trunc) << bytes;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(Utf8Path(path)); }

std::map<std::string, std::string> ReadTree(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(Utf8Path(folder))) {
        if (!entry.is_regular_file()) continue;
        files[Utf8String(std::filesystem::relative(entry.path(), Utf8Path(folder)))] = ReadBytes(entry.path());
    }
    return files;
}

std::vector<std::string> ExtractAll(CQVArchive& reader, const std::string& folder) {
    std::vector<std::string> names;
    try {
        reader.ExtractFirst();
        for (;;) {
            std::string name = reader.GetExtractName();
            names.push_back(name);
            std::string relative = name;
            for (char& c : relative) {
                if (c == '\\') c = '/';
            }
            std::filesystem::path destination = Utf8Path(folder) / Utf8Path(relative);
            std::filesystem::create_directories(destination.parent_path());
            reader.Extract(Utf8String(destination), 0);
            reader.ExtractNext();
        }
    } catch (const CQVArchiveException& failure) {
        if (failure.GetError() != CQVArchiveException::eEndOfArchive) throw;
    }
    return names;
}

namespace {

std::uint16_t Le16(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                                                  << 8);
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
    return Le16(bytes, at) | static_cast<std::uint32_t>(Le16(bytes, at + 2)) << 16;
}

}  // namespace

std::vector<std::size_t> ArjHeaderOffsets(const std::string& bytes, std::size_t start) {
    std::vector<std::size_t> offsets;
    std::size_t at = start;
    bool main = true;
    while (at + 4 <= bytes.size() && Le16(bytes, at) == 60000) {
        std::size_t size = Le16(bytes, at + 2);
        if (size == 0) break;
        offsets.push_back(at);
        std::size_t data = at + 4 + size + 4;
        while (Le16(bytes, data) != 0) data += Le16(bytes, data) + 4 + 2;
        data += 2;
        at = main ? data : data + Le32(bytes, at + 4 + 12);
        main = false;
    }
    return offsets;
}

void FixArjHeaderCrc(std::string& bytes, std::size_t offset) {
    std::size_t size = Le16(bytes, offset + 2);
    auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + offset + 4), static_cast<uInt>(size)));
    for (int i = 0; i < 4; ++i) bytes[offset + 4 + size + i] = static_cast<char>(crc >> (8 * i));
}

}  // namespace zel::test

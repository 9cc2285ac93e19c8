#include "tests/cabinet/support/cab_writer.h"

#include <algorithm>

#include "archive/cabinet/cab_checksum.h"

namespace zel::cabinet::test {
namespace {

struct Block {
    Bytes data;
    std::uint16_t uncompressed = 0;  // 0: goes on in the next cabinet
};

struct EntryOut {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t attributes = 0x20;
};

struct FolderOut {
    std::uint16_t type = 0;
    std::vector<Block> blocks;
};

struct CabinetOut {
    std::vector<FolderOut> folders;
    std::vector<EntryOut> files;
    std::string previous, next;
    std::uint16_t index = 0;
};

void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}
void PutString(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

Bytes Serialise(const CabinetOut& cab, const WriterOptions& options) {
    const bool reserve = options.headerReserve || options.folderReserve || options.dataReserve;
    std::uint16_t flags = 0;
    if (!cab.previous.empty()) flags |= 1;
    if (!cab.next.empty()) flags |= 2;
    if (reserve) flags |= 4;

    Bytes b;
    for (char c : {'M', 'S', 'C', 'F'}) b.push_back(std::uint8_t(c));
    Put32(b, 0);
    Put32(b, 0);  // size, set below
    Put32(b, 0);
    Put32(b, 0);  // first file entry, set below
    Put32(b, 0);
    b.push_back(options.versionMinor);
    b.push_back(options.versionMajor);
    Put16(b, std::uint32_t(cab.folders.size()));
    Put16(b, std::uint32_t(cab.files.size()));
    Put16(b, flags);
    Put16(b, options.setId);
    Put16(b, cab.index);
    if (reserve) {
        Put16(b, options.headerReserve);
        b.push_back(options.folderReserve);
        b.push_back(options.dataReserve);
        for (int i = 0; i < options.headerReserve; ++i) b.push_back(std::uint8_t(0xA0 + i));
    }
    if (!cab.previous.empty()) {
        PutString(b, cab.previous);
        PutString(b, "disk " + cab.previous);
    }
    if (!cab.next.empty()) {
        PutString(b, cab.next);
        PutString(b, "disk " + cab.next);
    }
    std::vector<std::size_t> folderAt;
    for (const auto& folder : cab.folders) {
        folderAt.push_back(b.size());
        Put32(b, 0);
        Put16(b, std::uint32_t(folder.blocks.size()));
        Put16(b, folder.type);
        for (int i = 0; i < options.folderReserve; ++i) b.push_back(std::uint8_t(0xB0 + i));
    }
    Set32(b, 16, std::uint32_t(b.size()));
    std::vector<EntryOut> entries = cab.files;
    if (options.reverseFileOrder) std::reverse(entries.begin(), entries.end());
    for (const auto& file : entries) {
        Put32(b, file.size);
        Put32(b, file.offset);
        Put16(b, file.folder);
        Put16(b, 0x5A21);  // 1 Jan 2025
        Put16(b, 0x6000);  // 12:00
        Put16(b, file.attributes);
        PutString(b, file.name);
    }
    for (std::size_t f = 0; f < cab.folders.size(); ++f) {
        Set32(b, folderAt[f], std::uint32_t(b.size()));
        for (const auto& block : cab.folders[f].blocks) {
            Bytes header;
            Put32(header, 0);
            Put16(header, std::uint32_t(block.data.size()));
            Put16(header, block.uncompressed);
            for (int i = 0; i < options.dataReserve; ++i) header.push_back(std::uint8_t(0xC0 + i));
            if (options.checksums) {
                std::uint32_t sum = CabChecksum(block.data.data(), std::uint32_t(block.data.size()), 0);
                sum = CabChecksum(header.data() + 4, std::uint32_t(header.size() - 4), sum);
                Set32(header, 0, sum);
            }
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), block.data.begin(), block.data.end());
        }
    }
    Set32(b, 8, std::uint32_t(b.size()));
    return b;
}

std::unique_ptr<CFrameEncoder> EncoderFor(const WriterFolder& folder) {
    if (folder.encoder) return folder.encoder();
    const int bits = (folder.compressionType >> 8) & 0x1F;
    switch (folder.compressionType & 0xF) {
        case 1: return MakeMszipEncoder();
        case 2: return MakeQuantumEncoder(QuantumOptions{bits});
        case 3: return MakeLzxEncoder(LzxOptions{bits});
        default: return MakeStoredEncoder();
    }
}

// The folder's data and its blocks, one per frame.
FolderOut Encode(const WriterFolder& folder, Bytes* all) {
    for (const auto& file : folder.files) all->insert(all->end(), file.data.begin(), file.data.end());
    FolderOut out;
    out.type = folder.compressionType;
    auto encoder = EncoderFor(folder);
    for (std::size_t start = 0; start < all->size(); start += folder.frameSize) {
        std::size_t length = std::min<std::size_t>(folder.frameSize, all->size() - start);
        out.blocks.push_back(Block{encoder->EncodeFrame(*all, start, length), std::uint16_t(length)});
    }
    return out;
}

}  // namespace

std::uint16_t CompressionType(int method, int windowBits) { return std::uint16_t(method | (windowBits << 8)); }

Bytes WriteCabinet(const std::vector<WriterFolder>& folders, const WriterOptions& options) {
    CabinetOut cab;
    for (std::size_t f = 0; f < folders.size(); ++f) {
        Bytes all;
        cab.folders.push_back(Encode(folders[f], &all));
        std::uint32_t offset = 0;
        for (const auto& file : folders[f].files) {
            cab.files.push_back(
                EntryOut{file.name, std::uint32_t(file.data.size()), offset, std::uint16_t(f), file.attributes});
            offset += std::uint32_t(file.data.size());
        }
    }
    return Serialise(cab, options);
}

std::vector<Bytes> WriteCabinetSet(const WriterFolder& folder, const std::vector<std::string>& names, bool splitBlocks,
                                   const WriterOptions& options) {
    Bytes all;
    FolderOut whole = Encode(folder, &all);
    const std::size_t parts = names.size();
    std::vector<CabinetOut> cabs(parts);
    // Blocks are dealt out evenly; with splitBlocks the last block of each part but the last is cut
    // in two, its second half opening the next part.
    std::vector<std::uint32_t> rangeStart(parts + 1, 0);
    std::size_t next = 0;
    std::uint32_t produced = 0;
    for (std::size_t p = 0; p < parts; ++p) {
        cabs[p].index = std::uint16_t(p);
        cabs[p].previous = p > 0 ? names[p - 1] : "";
        cabs[p].next = p + 1 < parts ? names[p + 1] : "";
        FolderOut part;
        part.type = whole.type;
        std::size_t take =
            p + 1 < parts ? std::max<std::size_t>(1, whole.blocks.size() / parts) : whole.blocks.size() - next;
        rangeStart[p] = produced;
        for (std::size_t i = 0; i < take && next < whole.blocks.size(); ++i, ++next) {
            Block block = whole.blocks[next];
            bool last = i + 1 == take && p + 1 < parts;
            if (last && splitBlocks && block.data.size() >= 2) {
                std::size_t half = block.data.size() / 2;
                part.blocks.push_back(Block{Bytes(block.data.begin(), block.data.begin() + half), 0});
                whole.blocks[next].data.erase(whole.blocks[next].data.begin(), whole.blocks[next].data.begin() + half);
                break;  // the rest of this block opens the next part
            }
            part.blocks.push_back(block);
            produced += block.uncompressed;
        }
        cabs[p].folders.push_back(part);
    }
    rangeStart[parts] = produced;
    // Each cabinet lists the files whose bytes lie (partly) in the range it completes.
    std::uint32_t offset = 0;
    for (const auto& file : folder.files) {
        const std::uint32_t begin = offset, end = offset + std::uint32_t(file.data.size());
        offset = end;
        for (std::size_t p = 0; p < parts; ++p) {
            const std::uint32_t lo = rangeStart[p], hi = rangeStart[p + 1];
            bool startsHere = begin >= lo && (begin < hi || (begin == hi && p + 1 == parts));
            bool overlaps = begin < hi && end > lo;
            if (!startsHere && !overlaps) continue;
            bool fromPrevious = begin < lo;
            bool toNext = end > hi;
            std::uint16_t index = fromPrevious && toNext ? 0xFFFF : fromPrevious ? 0xFFFD : toNext ? 0xFFFE : 0;
            cabs[p].files.push_back(
                EntryOut{file.name, std::uint32_t(file.data.size()), begin, index, file.attributes});
        }
    }
    std::vector<Bytes> out;
    for (const auto& cab : cabs) out.push_back(Serialise(cab, options));
    return out;
}

}  // namespace zel::cabinet::test

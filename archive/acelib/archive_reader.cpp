#include "archive/acelib/archive_reader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/ace_format.h"
#include "fileio/file.h"
#include "framework/little_endian.h"

namespace zel::ace {

// One file of the set, read at explicit offsets.
class Volume {
public:
    explicit Volume(std::string path) : m_path(std::move(path)) {}

    bool Open() {
        if (!m_file.Open(m_path, CFile::modeRead | CFile::shareDenyWrite)) return false;
        try {
            m_length = m_file.GetLength();
        } catch (const CFileException&) {
            return false;
        }
        return true;
    }
    const std::string& Path() const { return m_path; }
    std::uint64_t Length() const { return m_length; }

    // Reads up to `size` bytes at `offset`; returns how many were there.
    std::size_t ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        if (offset >= m_length) return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_length - offset));
        try {
            m_file.Seek(static_cast<std::int64_t>(offset), CFile::begin);
            return m_file.Read(buffer, static_cast<UINT>(size));
        } catch (const CFileException&) {
            throw AceError(AceError::kIo, "cannot read the archive");
        }
    }

    std::uint64_t position = 0;  // offset of the next block
    MainHeader main;

private:
    std::string m_path;
    CFile m_file;
    std::uint64_t m_length = 0;
};

namespace {

[[noreturn]] void Malformed(const char* what) { throw AceError(AceError::kFormat, what); }

std::size_t BlockSize(const std::uint8_t (&prefix)[kBlockPrefixSize]) {
    return LoadLe16(prefix + kBlockSizeOffset, prefix + kBlockPrefixSize);
}
std::uint16_t BlockCrc(const std::uint8_t (&prefix)[kBlockPrefixSize]) {
    return LoadLe16(prefix + kBlockCrcOffset, prefix + kBlockPrefixSize);
}

// Finds the main header: the "**ACE**" signature 7 bytes into a block whose CRC holds and whose
// type is 0, starting within the first 512 KiB. Sets the volume's position after it.
bool FindMainHeader(Volume& volume) {
    const std::uint64_t reach = std::min<std::uint64_t>(volume.Length(), kSignatureSearchLimit + kSignatureSize);
    std::vector<std::uint8_t> head(static_cast<std::size_t>(reach));
    head.resize(volume.ReadAt(0, head.data(), head.size()));
    std::vector<std::uint8_t> body;
    for (std::size_t at = kSignatureOffset; at + kSignatureSize <= head.size() && at < kSignatureSearchLimit; ++at) {
        if (std::memcmp(head.data() + at, kSignature, kSignatureSize) != 0) continue;
        std::uint64_t start = at - kSignatureOffset;
        std::uint8_t prefix[kBlockPrefixSize];
        if (volume.ReadAt(start, prefix, sizeof prefix) != sizeof prefix) continue;
        std::size_t size = BlockSize(prefix);
        body.resize(size);
        if (volume.ReadAt(start + kBlockPrefixSize, body.data(), size) != size) continue;
        if (!HeaderCrcMatches(BlockCrc(prefix), body.data(), size)) continue;
        try {
            Block block = ParseBlock(body.data(), size);
            if (!block.main) continue;
            volume.main = *block.main;
        } catch (const AceError&) {
            continue;
        }
        volume.position = start + kBlockPrefixSize + size;
        return true;
    }
    return false;
}

// name.ace -> name.c00 -> name.c01 ...; both letter cases are tried for the new extension.
std::vector<std::string> NextVolumeNames(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    std::string base = path.substr(0, dot);
    std::string extension = path.substr(dot);
    int next = 0;
    if (extension.size() == 4 && (extension[1] == 'c' || extension[1] == 'C') &&
        std::isdigit(static_cast<unsigned char>(extension[2])) &&
        std::isdigit(static_cast<unsigned char>(extension[3]))) {
        next = (extension[2] - '0') * 10 + (extension[3] - '0') + 1;
        if (next > 99) return {};
    }
    char digits[3] = {static_cast<char>('0' + next / 10), static_cast<char>('0' + next % 10), 0};
    return {base + ".c" + digits, base + ".C" + digits};
}

}  // namespace

// The packed data of the current entry, segment after segment across volumes.
class ArchiveReader::SegmentSource final : public ByteSource {
public:
    explicit SegmentSource(ArchiveReader& reader)
        : m_reader(reader), m_header(reader.m_current), m_offset(reader.m_dataOffset),
          m_left(reader.m_current.packedSize) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size) override {
        while (m_left == 0) {
            if (!NextSegment()) return 0;
        }
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_left));
        std::size_t got = m_reader.m_volume->ReadAt(m_offset, buffer, want);
        if (got == 0) throw AceError(AceError::kData, "entry data runs past the end of the volume");
        m_offset += got;
        m_left -= got;
        return got;
    }

    // Moves past the rest of the entry; the reader's position ends after its last segment.
    void Finish() {
        do {
            if (m_offset + m_left > m_reader.m_volume->Length()) {
                throw AceError(AceError::kData, "entry data runs past the end of the volume");
            }
            m_offset += m_left;
            m_left = 0;
        } while (NextSegment());
        m_reader.m_volume->position = m_offset;
    }

    // The CRC of the whole entry is in the header of its last segment.
    std::uint32_t ExpectedCrc() const { return m_header.crc; }

private:
    bool NextSegment() {
        if (!(m_header.flags & kFileFlagContinuedInNext)) return false;
        m_reader.m_volume->position = m_offset;
        if (!m_reader.OpenNextVolume()) throw AceError(AceError::kVolume, "next volume missing");
        m_header = m_reader.ContinuationHeader();
        m_offset = m_reader.m_dataOffset;
        m_left = m_header.packedSize;
        return true;
    }

    ArchiveReader& m_reader;
    FileHeader m_header;
    std::uint64_t m_offset;
    std::uint64_t m_left;
};

ArchiveReader::~ArchiveReader() = default;

std::unique_ptr<ArchiveReader> ArchiveReader::Open(const std::string& path) {
    std::unique_ptr<ArchiveReader> reader(new ArchiveReader);
    reader->OpenFirstVolume(path);
    return reader;
}

void ArchiveReader::OpenFirstVolume(const std::string& path) {
    auto volume = std::make_unique<Volume>(path);
    if (!volume->Open()) throw AceError(AceError::kIo, "cannot open the archive");
    if (!FindMainHeader(*volume)) Malformed("no ACE main header");
    m_main = volume->main;
    m_opened.push_back(volume->Path());
    m_volume = std::move(volume);
}

bool ArchiveReader::IsSolid() const { return (m_main.flags & kMainFlagSolid) != 0; }
const std::string& ArchiveReader::VolumePath() const { return m_volume->Path(); }

bool ArchiveReader::OpenNextVolume() {
    if (!(m_main.flags & kMainFlagMultiVolume)) return false;
    for (const std::string& name : NextVolumeNames(m_volume->Path())) {
        auto volume = std::make_unique<Volume>(name);
        if (!volume->Open()) continue;
        if (!FindMainHeader(*volume)) return false;
        if (!(volume->main.flags & kMainFlagMultiVolume) ||
            volume->main.volume != static_cast<std::uint8_t>(m_volume->main.volume + 1)) {
            return false;  // a file of another set
        }
        m_opened.push_back(volume->Path());
        m_volume = std::move(volume);
        return true;
    }
    return false;
}

std::optional<Block> ArchiveReader::ReadBlock() {
    Volume& volume = *m_volume;
    std::uint8_t prefix[kBlockPrefixSize];
    // Fewer bytes than a block prefix after the last block are tolerated as padding.
    if (volume.ReadAt(volume.position, prefix, sizeof prefix) < sizeof prefix) return std::nullopt;
    std::size_t size = BlockSize(prefix);
    std::vector<std::uint8_t> body(size);
    if (volume.ReadAt(volume.position + kBlockPrefixSize, body.data(), size) != size) {
        Malformed("block header cut off");
    }
    if (!HeaderCrcMatches(BlockCrc(prefix), body.data(), size)) {
        throw AceError(AceError::kHeaderCrc, "header CRC mismatch");
    }
    Block block = ParseBlock(body.data(), size);
    m_dataOffset = volume.position + kBlockPrefixSize + size;
    if (block.dataSize > volume.Length() - m_dataOffset) {
        throw AceError(AceError::kData, "block data runs past the end of the volume");
    }
    volume.position = m_dataOffset + block.dataSize;
    return block;
}

FileHeader ArchiveReader::ContinuationHeader() {
    for (;;) {
        auto block = ReadBlock();
        if (!block) throw AceError(AceError::kVolume, "volume holds no continuation");
        if (block->main) Malformed("second main header");
        if (!block->file) continue;
        if (!(block->flags & kFileFlagContinuedFromPrevious)) {
            throw AceError(AceError::kVolume, "volume does not continue the entry");
        }
        return *block->file;
    }
}

bool ArchiveReader::Next() {
    if (m_hasCurrent) Skip();
    while (!m_ended) {
        auto block = ReadBlock();
        if (!block) {
            if (!OpenNextVolume()) m_ended = true;
            continue;
        }
        if (block->main) Malformed("second main header");
        if (!block->file) continue;
        // A continuation whose start lies in an earlier volume that was not opened.
        if (block->flags & kFileFlagContinuedFromPrevious) continue;
        m_current = *block->file;
        m_hasCurrent = true;
        return true;
    }
    return false;
}

void ArchiveReader::Skip() {
    if (!m_hasCurrent) return;
    m_hasCurrent = false;
    SegmentSource source(*this);
    try {
        source.Finish();
    } catch (const AceError& error) {
        // A set that ends early still lists what came before; a damaged volume does not.
        if (error.kind() != AceError::kVolume) throw;
        m_ended = true;
    }
}

void ArchiveReader::Unpack(ByteSink& sink) {
    if (!m_hasCurrent) throw AceError(AceError::kFormat, "no current entry");
    if (m_current.IsEncrypted()) {
        Skip();
        throw AceError(AceError::kEncrypted, "encrypted entry");
    }
    m_hasCurrent = false;
    SegmentSource source(*this);
    if (!m_decompressor) m_decompressor = std::make_unique<Decompressor>();
    std::uint32_t crc = 0;
    try {
        crc =
            m_decompressor->Unpack(m_current.method, m_current.DictionaryBits(), source, m_current.originalSize, sink);
    } catch (const AceError&) {
        try {
            source.Finish();
        } catch (const AceError&) {
            m_ended = true;
        }
        throw;
    } catch (const StopUnpacking&) {
        try {
            source.Finish();
        } catch (const AceError&) {
            m_ended = true;  // the set ends before the entry's last part: nothing follows it
        }
        return;
    }
    try {
        source.Finish();
    } catch (const AceError&) {
        m_ended = true;
        throw;
    }
    if (crc != source.ExpectedCrc()) throw AceError(AceError::kData, "CRC mismatch");
}

}  // namespace zel::ace

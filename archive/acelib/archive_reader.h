// Walks an ACE archive: finds the main header (also behind a self-extractor stub), reads the file
// headers one after the other, follows a set of volumes (name.ace, name.c00, name.c01, ...) and
// unpacks or passes over the data of the current entry.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "archive/acelib/byte_stream.h"
#include "archive/acelib/decompressor.h"
#include "archive/acelib/header_reader.h"

namespace zel::ace {

class Volume;

class ArchiveReader {
public:
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the archive at `path`; throws AceError when it cannot be read or holds no ACE main
    // header within the first 512 KiB.
    static std::unique_ptr<ArchiveReader> Open(const std::string& path);

    const MainHeader& Main() const { return m_main; }
    bool IsSolid() const;

    // Reads the next entry's header (passing over the data of a current entry not yet handled);
    // false at the end of the archive. Throws AceError for a damaged header.
    bool Next();
    const FileHeader& Current() const { return m_current; }
    const std::string& VolumePath() const;
    // Every volume opened so far, the first one first. A deque: its texts stay where they are.
    const std::deque<std::string>& OpenedVolumes() const { return m_opened; }

    // Passes over the current entry's data, through every volume it spans.
    void Skip();
    // Unpacks the current entry into `sink`, checks its CRC, and moves past it whatever happens.
    // Throws AceError for an encrypted entry, corrupt data, a CRC mismatch or a missing volume.
    // A sink that throws StopUnpacking ends the entry there (without a CRC check); only a
    // non-solid archive may be stopped, since a solid one's later entries need the rest.
    void Unpack(ByteSink& sink);

private:
    class SegmentSource;
    ArchiveReader() = default;

    void OpenFirstVolume(const std::string& path);
    bool OpenNextVolume();
    // Reads the block at the current position; nullopt when the volume has no block left.
    std::optional<Block> ReadBlock();
    // Called at the start of a continuation: the next volume's first file header.
    FileHeader ContinuationHeader();

    std::unique_ptr<Volume> m_volume;
    std::deque<std::string> m_opened;
    MainHeader m_main;
    FileHeader m_current;
    bool m_hasCurrent = false;
    bool m_ended = false;
    std::uint64_t m_dataOffset = 0;
    std::unique_ptr<Decompressor> m_decompressor;
};

}  // namespace zel::ace

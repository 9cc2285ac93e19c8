// A test-only ACE writer: builds archives whose entries are stored, ACE 1.0 LZ77 or ACE 2.0
// blocked streams made of segments in any mode (LZ77, DELTA, EXE, SOUND_8/16/32A/32B, PIC), so
// that every decoder path can be exercised, and checked against the reference unpacker, without
// a public archive that uses it. Compression is greedy and uses fixed code widths: the point is
// valid streams, not small ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/acelib/lz77.h"

namespace zel::ace::test {

struct Segment {
    std::uint8_t mode = kModeLz77;
    std::vector<std::uint8_t> data;
    unsigned deltaDistance = 1;  // DELTA: planes; data size must be a multiple, below 2^17
    unsigned exeMode = 0;        // EXE: 0 16-bit CALL operands, 1 32-bit
    unsigned picWidth = 1;       // PIC: bytes per row; data size must be a multiple
    unsigned picPlanes = 1;      // PIC: interleaved planes
};

struct EntrySpec {
    std::string name;
    std::vector<std::uint8_t> data;  // for blocked entries: filled from the segments
    std::uint8_t method = 0;         // 0 stored, 1 ACE 1.0 LZ77, 2 ACE 2.0 blocked
    unsigned dictionaryBits = 20;
    std::vector<Segment> segments;  // blocked entries; empty means one LZ77 segment of `data`
    std::uint32_t attributes = 0x20;
    bool wideSizes = false;  // 64-bit size fields (header type 3)
    bool encryptedFlag = false;
    bool storeCorruptCrc = false;
};

struct ArchiveLayout {
    bool solid = false;
    std::vector<std::uint8_t> stub;  // bytes before the archive, as a self-extractor has
    std::vector<EntrySpec> entries;
    bool recoveryBlock = false;  // adds a block of an unknown type before the first entry
};

std::vector<std::uint8_t> BuildArchive(ArchiveLayout layout);

// The raw compressed stream of one entry (no headers), for the decoder tests. Entries given to
// one StreamWriter share its window, like the entries of a solid archive.
class StreamWriter {
public:
    explicit StreamWriter(unsigned dictionaryBits = 22);
    ~StreamWriter();
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    std::vector<std::uint8_t> Lz77(const std::vector<std::uint8_t>& data);
    std::vector<std::uint8_t> Blocked(const std::vector<Segment>& segments);
    void AddStored(const std::vector<std::uint8_t>& data);  // stored entries feed the window too
    // Matches reach at most 2^bits back (10 to 22).
    void SetDictionaryBits(unsigned bits);

private:
    struct State;
    State* m_state;
};

// Test data with some structure (text-like runs and repeats), reproducible from `seed`.
std::vector<std::uint8_t> SampleBytes(std::size_t size, unsigned seed);
// Smooth 16-bit audio-like samples, as bytes.
std::vector<std::uint8_t> WaveBytes(std::size_t size, unsigned seed);

}  // namespace zel::ace::test

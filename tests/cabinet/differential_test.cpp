// Our decompressor against libmspack: the real cabinets as they are, and thousands of mutations of
// them and of cabinets made by the test encoders (bit flips in headers and in compressed data with
// and without checksums, truncations). Where both extract a file the bytes must agree; where only
// we extract one, our bytes must be the file's true contents. The cases where the two disagree on
// success are pinned down below as named tests, each saying why ours differs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>

#include "archive/cabinet/cab_decoder.h"
#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/cab_writer.h"
#include "tests/cabinet/support/fixtures.h"
#include "tests/cabinet/support/mspack_oracle.h"
#include "tests/cabinet/support/test_data.h"

namespace zel::cabinet::test {
namespace {

Bytes Fixture(const std::string& name) { return ReadBytes<Bytes>(FixturesDir() + name); }

TEST(CabDifferential, EveryRealCabinetAgreesWithLibmspack) {
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(FixturesDir())) {
        if (entry.path().extension() != ".cab") continue;
        Differential both = DecodeBoth(ReadBytes<Bytes>(entry.path().string()));
        EXPECT_EQ(both.mismatch, "") << entry.path().filename();
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

struct Seed {
    std::string label;
    Bytes cabinet;
    bool checked = true;  // every data block carries a checksum
};

WriterFolder TwoFiles(std::uint16_t type, std::size_t size, std::uint32_t seed) {
    WriterFolder folder;
    folder.compressionType = type;
    Bytes data = MakeTestData(size, seed, std::size_t(1) << 15);
    std::size_t cut = size / 3;
    folder.files.push_back({"one.bin", Bytes(data.begin(), data.begin() + std::ptrdiff_t(cut))});
    folder.files.push_back({"two.bin", Bytes(data.begin() + std::ptrdiff_t(cut), data.end())});
    return folder;
}

std::vector<Seed> Seeds() {
    std::vector<Seed> seeds;
    for (const char* name : {"mszip_lzx_qtm.cab", "normal_2files_1folder.cab", "normal_2files_2folders.cab",
                             "reserve_HFD.cab", "reserve_-FD.cab", "normal_255c_filename.cab"}) {
        seeds.push_back({name, Fixture(name)});
    }
    // Our encoders' cabinets without checksums, so that damaged compressed data reaches the decoders.
    WriterOptions unchecked;
    unchecked.checksums = false;
    const std::pair<const char*, std::uint16_t> methods[] = {
        {"mszip", CompressionType(1)},         {"lzx15", CompressionType(3, 15)},
        {"lzx21", CompressionType(3, 21)},     {"quantum10", CompressionType(2, 10)},
        {"quantum16", CompressionType(2, 16)}, {"quantum21", CompressionType(2, 21)}};
    std::uint32_t n = 0;
    for (const auto& [label, type] : methods) {
        seeds.push_back({label, WriteCabinet({TwoFiles(type, 40000, 100 + n++)}, unchecked), false});
    }
    seeds.push_back({"lzx16-checked", WriteCabinet({TwoFiles(CompressionType(3, 16), 40000, 200)})});
    return seeds;
}

// The seed's files by name, as our decoder extracts them from the undamaged cabinet.
std::map<std::string, Bytes> Contents(const Bytes& cabinet) {
    MemoryFiles files;
    files.Add("in", cabinet);
    RunResult run = ExtractMemory(files, "", "in");
    EXPECT_TRUE(run.ok);
    std::map<std::string, Bytes> contents;
    for (auto& file : run.files) contents[file.name] = file.data;
    return contents;
}

Bytes Mutate(const Bytes& seed, int round, std::mt19937& rng) {
    Bytes bytes = seed;
    switch (round % 4) {
        case 0: bytes.resize(rng() % bytes.size()); break;
        case 1:  // the headers
            for (int k = 0, n = 1 + int(rng() % 3); k < n; ++k)
                bytes[rng() % std::min<std::size_t>(bytes.size(), 160)] ^= std::uint8_t(1u << (rng() % 8));
            break;
        case 2:  // the compressed data, past the headers
            for (int k = 0, n = 1 + int(rng() % 3); k < n; ++k) {
                std::size_t from = std::min<std::size_t>(bytes.size() - 1, 160);
                bytes[from + rng() % (bytes.size() - from)] ^= std::uint8_t(1u << (rng() % 8));
            }
            break;
        default:  // a random byte anywhere
            bytes[rng() % bytes.size()] = std::uint8_t(rng());
            break;
    }
    return bytes;
}

bool Extracted(const OracleResult& theirs, const std::string& name, const Bytes** data) {
    for (const auto& file : theirs.files) {
        if (file.name == name && file.ok) {
            *data = &file.data;
            return true;
        }
    }
    return false;
}

// Without checksums, damaged compressed data can decode to other bytes without any error. There
// the two decoders may differ, but never so that libmspack gives a file's true bytes and we do not;
// and with checksums every file only we extract must be the true one.
TEST(CabDifferential, MutatedCabinetsNeverDecodeDifferentlyFromLibmspack) {
    constexpr int kRounds = 400;
    std::mt19937 rng(20261207);
    Differential total;
    int damagedButAccepted = 0;
    for (const Seed& seed : Seeds()) {
        SCOPED_TRACE(seed.label);
        const std::map<std::string, Bytes> truth = Contents(seed.cabinet);
        for (int round = 0; round < kRounds; ++round) {
            Bytes mutated = Mutate(seed.cabinet, round, rng);
            Differential both = DecodeBoth(mutated);
            for (const auto& file : both.ours.files) {
                if (!file.complete) continue;
                auto it = truth.find(file.name);
                // Only damage that left the file's name and size alone is judged by its contents.
                if (it == truth.end() || it->second.size() != file.data.size() || it->second == file.data) continue;
                const Bytes* theirs = nullptr;
                if (Extracted(both.theirs, file.name, &theirs)) {
                    EXPECT_NE(*theirs, it->second) << "round " << round << ": libmspack is right about " << file.name;
                } else {
                    EXPECT_FALSE(seed.checked) << "round " << round << ": a checked block gave wrong bytes";
                }
                ++damagedButAccepted;
            }
            if (seed.checked) {
                EXPECT_EQ(both.mismatch, "") << "round " << round;
            }
            total.agree += both.agree;
            total.oursOnly += both.oursOnly;
            total.theirsOnly += both.theirsOnly;
            total.bothFail += both.bothFail;
        }
    }
    std::printf("files: %d agree, %d only ours, %d only libmspack, %d both fail; %d damaged files accepted\n",
                total.agree, total.oursOnly, total.theirsOnly, total.bothFail, damagedButAccepted);
    EXPECT_GT(total.agree, 1000);
}

// The cases where the two disagree on success, found by the mutations above.

Bytes WithByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

// Appends `slack` to the first frame of the inner encoder, as bytes its coder never reaches.
class CPaddedFirstFrame : public CFrameEncoder {
public:
    CPaddedFirstFrame(std::unique_ptr<CFrameEncoder> inner, Bytes slack)
        : m_inner(std::move(inner)), m_slack(std::move(slack)) {}
    Bytes EncodeFrame(const Bytes& data, std::size_t start, std::size_t length) override {
        Bytes frame = m_inner->EncodeFrame(data, start, length);
        if (start == 0) frame.insert(frame.end(), m_slack.begin(), m_slack.end());
        return frame;
    }

private:
    std::unique_ptr<CFrameEncoder> m_inner;
    Bytes m_slack;
};

// Each block is one frame that starts afresh at the block's first byte; bytes the coder does not
// use at the end of a block are ignored here. libmspack reads a folder's LZX blocks as one stream,
// so slack at a block's end shifts everything after it, and it fails.
TEST(CabDifferential, LzxBlockWithSlackAtItsEndDecodesHereButNotInLibmspack) {
    WriterFolder folder = TwoFiles(CompressionType(3, 15), 40000, 7);
    folder.encoder = [] {
        LzxOptions options;
        options.windowBits = 15;
        options.blocks = ELzxBlocks::verbatim;
        return std::make_unique<CPaddedFirstFrame>(MakeLzxEncoder(options), Bytes(4, 0x5A));
    };
    Differential both = DecodeBoth(WriteCabinet({folder}));
    ASSERT_TRUE(both.ours.ok);
    EXPECT_EQ(both.ours.files[1].data, folder.files[1].data);
    EXPECT_FALSE(both.theirs.AllOk());
}

// Quantum blocks as libmspack reads them (seen from outside): one stream per folder, in which a
// 0xFF byte follows each block; after each frame of 32,768 bytes it drops input up to and
// including the next 0xFF and restarts its coder behind it. Here each block is one frame whose
// coder starts at the block's first byte, and what the coder does not reach at the block's end is
// never read. An intact frame uses its block up to a few zero bytes of padding, so both start the
// next frame at the next block. Two frames: mostly zero bytes, a random one about every 64, so that
// the first block stays small (about 1,850 bytes).
WriterFolder TwoQuantumFrames(const Bytes& slackAfterFirst = {}) {
    std::mt19937 rng(1);
    Bytes data;
    while (data.size() < kCabMaxBlockSize + 2) data.push_back(rng() % 64 == 0 ? std::uint8_t(rng()) : 0);
    WriterFolder folder;
    folder.compressionType = CompressionType(2, 10);
    folder.files.push_back({"sparse.bin", data});
    folder.encoder = [slackAfterFirst] {
        return std::make_unique<CPaddedFirstFrame>(MakeQuantumEncoder(QuantumOptions{10}), slackAfterFirst);
    };
    return folder;
}

Bytes SecondFrame(const Bytes& folderData) {
    const std::size_t first = std::min<std::size_t>(kCabMaxBlockSize, folderData.size());
    return Bytes(folderData.begin() + std::ptrdiff_t(first), folderData.end());
}

// Slack after an intact first frame is skipped here. libmspack skips it too unless it holds a
// 0xFF: then it restarts its coder inside the slack and loses the second frame.
TEST(CabDifferential, QuantumSlackWithAnFFAfterAFrameIsSkippedHereButNotInLibmspack) {
    const WriterFolder plain = TwoQuantumFrames(Bytes(4, 0x5A));
    Differential both = DecodeBoth(WriteCabinet({plain}));
    ASSERT_TRUE(both.ours.ok);
    EXPECT_EQ(both.ours.files[0].data, plain.files[0].data);
    EXPECT_TRUE(both.theirs.AllOk());
    EXPECT_EQ(both.mismatch, "");

    const WriterFolder withFF = TwoQuantumFrames({0xFF, 0x5A, 0x5A, 0x5A});
    both = DecodeBoth(WriteCabinet({withFF}));
    ASSERT_TRUE(both.ours.ok);
    EXPECT_EQ(both.ours.files[0].data, withFF.files[0].data);
    ASSERT_EQ(both.theirs.files.size(), 1u);
    EXPECT_FALSE(both.theirs.files[0].ok && both.theirs.files[0].data == withFF.files[0].data);
}

// The damaged case the mutations find (no checksums, window 2^10): one bit flipped early in the
// first block. Both decode that frame alike, to wrong bytes, and it ends about 100 bytes before
// its block does; the bytes left over hold a 0xFF. libmspack starts the second frame behind that
// 0xFF, we at the second block; neither gives the true bytes, since the damage already went into
// the models and the window. Clearing the leftover bytes changes nothing here and makes libmspack
// agree with us, so where the second frame starts is the whole difference.
TEST(CabDifferential, QuantumFrameAfterADamagedOneStartsAtItsOwnBlock) {
    const WriterFolder folder = TwoQuantumFrames();
    const Bytes& truth = folder.files[0].data;
    WriterOptions unchecked;
    unchecked.checksums = false;
    Bytes damaged = WriteCabinet({folder}, unchecked);
    const std::size_t block = damaged.at(36) | damaged.at(37) << 8;  // the folder's first block header
    const std::size_t data = block + 8, size = damaged.at(block + 4) | damaged.at(block + 5) << 8;
    damaged.at(data + 17) ^= 0x80;

    Differential both = DecodeBoth(damaged);
    ASSERT_TRUE(both.ours.ok);
    ASSERT_TRUE(both.theirs.AllOk());
    const Bytes& ours = both.ours.files[0].data;
    const Bytes& theirs = both.theirs.files[0].data;
    ASSERT_EQ(ours.size(), truth.size());
    ASSERT_EQ(theirs.size(), truth.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.begin() + kCabMaxBlockSize, theirs.begin()));
    EXPECT_FALSE(std::equal(ours.begin(), ours.begin() + kCabMaxBlockSize, truth.begin()));
    EXPECT_NE(SecondFrame(ours), SecondFrame(theirs));
    EXPECT_NE(SecondFrame(ours), SecondFrame(truth));
    EXPECT_NE(SecondFrame(theirs), SecondFrame(truth));

    constexpr std::size_t kLeftOver = 64;  // the damaged frame ends before the block's last 64 bytes
    const auto leftOver = damaged.begin() + std::ptrdiff_t(data + size - kLeftOver);
    const auto blockEnd = damaged.begin() + std::ptrdiff_t(data + size);
    ASSERT_NE(std::find(leftOver, blockEnd, 0xFF), blockEnd);
    std::fill(leftOver, blockEnd, 0);
    Differential cleared = DecodeBoth(damaged);
    ASSERT_TRUE(cleared.ours.ok);
    EXPECT_EQ(cleared.ours.files[0].data, ours);
    EXPECT_TRUE(cleared.theirs.AllOk());
    EXPECT_EQ(cleared.mismatch, "");
}

// Only version 1.3 is read; libmspack reads any version.
TEST(CabDifferential, OtherVersionsAreRefusedWhereLibmspackReadsThem) {
    Differential both = DecodeBoth(WithByte(Fixture("normal_2files_1folder.cab"), 24, 0x02));
    EXPECT_EQ(both.ours.error.code, cabErrUnknownVersion);
    EXPECT_EQ(both.ours.error.extra, 0x0102);
    EXPECT_TRUE(both.theirs.AllOk());
}

// The header's offset of the first file entry is followed; libmspack reads the file entries
// right after the folders whatever the offset says.
TEST(CabDifferential, TheFirstFileOffsetIsFollowed) {
    Differential both = DecodeBoth(WithByte(Fixture("normal_2files_1folder.cab"), 17, 0x20));
    EXPECT_EQ(both.ours.error.code, cabErrCorrupt);
    EXPECT_TRUE(both.ours.offered.empty());
    EXPECT_TRUE(both.theirs.AllOk());
}

// A folder count larger than the folder entries present: folder entries are read only when a
// file needs its folder, so every file still comes out right; libmspack refuses the cabinet.
TEST(CabDifferential, AFolderCountBeyondTheEntriesStillGivesEveryFile) {
    Bytes cabinet = Fixture("mszip_lzx_qtm.cab");
    Differential both = DecodeBoth(WithByte(cabinet, 27, 0x80));
    ASSERT_TRUE(both.ours.ok);
    EXPECT_FALSE(both.theirs.opened);
    const std::map<std::string, Bytes> truth = Contents(cabinet);
    ASSERT_EQ(both.ours.files.size(), 3u);
    for (const auto& file : both.ours.files) EXPECT_EQ(file.data, truth.at(file.name)) << file.name;
}

// A stored block whose two sizes disagree fails in the decompressor; libmspack copies it anyway.
TEST(CabDifferential, AStoredBlockWhoseSizesDisagreeIsRefused) {
    Differential both = DecodeBoth(WithByte(Fixture("reserve_HFD.cab"), 158, 0x25));
    EXPECT_EQ(both.ours.error.code, cabErrDecompressor);
    EXPECT_TRUE(both.theirs.AllOk());
}

// A file that reaches past the end of its folder's data is corrupt; libmspack extracts it.
TEST(CabDifferential, AFileLongerThanItsFolderIsRefused) {
    Differential both = DecodeBoth(WithByte(Fixture("mszip_lzx_qtm.cab"), 110, 0x3f));
    EXPECT_EQ(both.ours.error.code, cabErrCorrupt);
    EXPECT_EQ(both.ours.files.size(), 3u);
    EXPECT_FALSE(both.ours.files.back().complete);
    EXPECT_TRUE(both.theirs.AllOk());
}

}  // namespace
}  // namespace zel::cabinet::test

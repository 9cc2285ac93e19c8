// The test encoders' output decoded by libmspack and by our decoder: every window size of LZX and
// Quantum, every LZX block type, blocks spanning frames, the call translation.
#include <gtest/gtest.h>

#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/cab_writer.h"
#include "tests/cabinet/support/mspack_oracle.h"
#include "tests/cabinet/support/test_data.h"

namespace zel::cabinet::test {
namespace {

struct Case {
    std::string label;
    WriterFolder folder;
};

// Two files in one folder: the decoded bytes must be the originals, for both decoders.
void ExpectRoundTrip(const WriterFolder& folder) {
    Bytes cab = WriteCabinet({folder});
    OracleResult theirs = MspackExtract(cab);
    ASSERT_TRUE(theirs.AllOk()) << "libmspack refuses the encoder's output";
    MemoryFiles files;
    files.Add("t.cab", cab);
    RunResult ours = ExtractMemory(files, "", "t.cab");
    ASSERT_TRUE(ours.ok) << ours.error.code;
    ASSERT_EQ(ours.files.size(), folder.files.size());
    for (std::size_t i = 0; i < folder.files.size(); ++i) {
        EXPECT_EQ(theirs.files[i].data, folder.files[i].data) << "libmspack, file " << i;
        EXPECT_EQ(ours.files[i].data, folder.files[i].data) << "ours, file " << i;
    }
}

WriterFolder Folder(std::uint16_t type, std::size_t size, std::uint32_t seed,
                    std::function<std::unique_ptr<CFrameEncoder>()> encoder = nullptr) {
    WriterFolder folder;
    folder.compressionType = type;
    folder.encoder = std::move(encoder);
    Bytes data = MakeTestData(size, seed, std::size_t(1) << ((type >> 8) & 0x1F));
    std::size_t cut = size / 3;
    folder.files.push_back({"first.bin", Bytes(data.begin(), data.begin() + std::ptrdiff_t(cut))});
    folder.files.push_back({"second.bin", Bytes(data.begin() + std::ptrdiff_t(cut), data.end())});
    return folder;
}

TEST(CabEncoders, LzxEveryWindowSizeAndBlockType) {
    for (int bits = 15; bits <= 21; ++bits) {
        for (ELzxBlocks blocks :
             {ELzxBlocks::verbatim, ELzxBlocks::aligned, ELzxBlocks::uncompressed, ELzxBlocks::mixed}) {
            SCOPED_TRACE("window " + std::to_string(bits) + " blocks " + std::to_string(int(blocks)));
            LzxOptions options{bits, blocks};
            std::size_t size = (std::size_t(1) << bits) + 70001;  // more than a window: offsets wrap
            ExpectRoundTrip(Folder(CompressionType(3, bits), size, std::uint32_t(bits * 7 + int(blocks)),
                                   [options] { return MakeLzxEncoder(options); }));
        }
    }
}

TEST(CabEncoders, LzxBlocksSpanningFramesAndCallTranslation) {
    for (int frames : {1, 3}) {
        for (std::uint32_t translation : {0u, 12000000u, 3000u}) {
            SCOPED_TRACE("frames " + std::to_string(frames) + " translation " + std::to_string(translation));
            LzxOptions options{17, ELzxBlocks::mixed, frames, translation};
            ExpectRoundTrip(Folder(CompressionType(3, 17), 300001, translation + std::uint32_t(frames),
                                   [options] { return MakeLzxEncoder(options); }));
        }
    }
}

TEST(CabEncoders, QuantumEveryWindowSize) {
    for (int bits = 10; bits <= 21; ++bits) {
        SCOPED_TRACE("window " + std::to_string(bits));
        std::size_t size = std::max<std::size_t>(100000, (std::size_t(1) << bits) + 50000);
        ExpectRoundTrip(Folder(CompressionType(2, bits), size, std::uint32_t(bits)));
    }
}

TEST(CabEncoders, MszipAndStored) {
    ExpectRoundTrip(Folder(CompressionType(1), 200000, 5));
    ExpectRoundTrip(Folder(CompressionType(0), 100000, 6));
}

}  // namespace
}  // namespace zel::cabinet::test

// Every decoder path on streams from the test writer: each ACE 2.0 mode, ACE 1.0 with every
// dictionary size, solid entries, 64-bit headers and self-extractor stubs. The archives are first
// checked with the reference unpacker ("unace t") when it is installed, so that the writer (and
// with it the decoder) follows the format and not merely our own reading of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "archive/acelib/ace_error.h"
#include "archive/acelib/archive_reader.h"
#include "archive/acelib/decompressor.h"
#include "tests/ace/ace_test_util.h"
#include "tests/ace/ace_writer.h"

namespace zel::ace::test {
namespace {

namespace fs = std::filesystem;

// Runs "unace t" on a copy with a short name (the unpacker fails on some name lengths).
// Returns -1 when the unpacker is not installed.
int ReferenceTest(const std::vector<std::uint8_t>& archive) {
    if (!fs::exists("/usr/bin/unace")) return -1;
    TempDir dir;
    WriteFileBytes(dir.path() / "a.ace", archive);
    std::string command = "cd '" + dir.path().string() + "' && /usr/bin/unace t -y a.ace >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

// Lists and unpacks every entry of an archive in memory, in order.
std::vector<std::vector<std::uint8_t>> UnpackAll(const std::vector<std::uint8_t>& archive) {
    TempDir dir;
    WriteFileBytes(dir.path() / "x.ace", archive);
    auto reader = ArchiveReader::Open((dir.path() / "x.ace").string());
    std::vector<std::vector<std::uint8_t>> contents;
    while (reader->Next()) {
        VectorSink sink;
        reader->Unpack(sink);
        contents.push_back(std::move(sink.bytes));
    }
    return contents;
}

void ExpectRoundTrip(const ArchiveLayout& layout, const char* what) {
    auto archive = BuildArchive(layout);
    int reference = ReferenceTest(archive);
    if (reference >= 0) {
        EXPECT_EQ(reference, 0) << what << ": the reference unpacker rejects the stream";
    }
    std::vector<std::vector<std::uint8_t>> contents;
    ASSERT_NO_THROW(contents = UnpackAll(archive)) << what;
    ASSERT_EQ(contents.size(), layout.entries.size()) << what;
    ArchiveLayout built = layout;
    for (std::size_t i = 0; i < contents.size(); ++i) {
        std::vector<std::uint8_t> expected = layout.entries[i].data;
        if (expected.empty()) {
            for (const auto& segment : layout.entries[i].segments)
                expected.insert(expected.end(), segment.data.begin(), segment.data.end());
        }
        EXPECT_TRUE(contents[i] == expected) << what << ": entry " << i;
    }
}

EntrySpec Blocked(std::string name, std::vector<Segment> segments) {
    EntrySpec entry;
    entry.name = std::move(name);
    entry.method = 2;
    entry.segments = std::move(segments);
    return entry;
}

Segment Of(std::uint8_t mode, std::vector<std::uint8_t> data) {
    Segment segment;
    segment.mode = mode;
    segment.data = std::move(data);
    return segment;
}

std::vector<std::uint8_t> Code(std::size_t size, unsigned seed) {
    // x86-like bytes: calls and jumps among other instructions, none in the last five bytes.
    auto bytes = SampleBytes(size, seed);
    for (std::size_t i = 0; i + 8 < size; i += 7 + (bytes[i] % 5)) bytes[i] = (bytes[i + 1] & 1) ? 0xE8 : 0xE9;
    for (std::size_t i = size >= 5 ? size - 5 : 0; i < size; ++i) {
        if (bytes[i] == 0xE8 || bytes[i] == 0xE9) bytes[i] = 0x90;
    }
    return bytes;
}

TEST(WriterTest, Ace10EveryDictionarySize) {
    ArchiveLayout layout;
    for (unsigned bits = 10; bits <= 22; ++bits) {
        EntrySpec entry;
        entry.name = "dict" + std::to_string(bits) + ".txt";
        entry.method = 1;
        entry.dictionaryBits = bits;
        entry.data = SampleBytes(3000 + bits * 500, bits);
        layout.entries.push_back(entry);
    }
    ExpectRoundTrip(layout, "ACE 1.0 dictionaries");
}

TEST(WriterTest, Ace10LongStreamSpansBlocksAndTheWindow) {
    ArchiveLayout layout;
    EntrySpec entry;
    entry.name = "long.bin";
    entry.method = 1;
    entry.dictionaryBits = 16;
    entry.data = SampleBytes(700000, 3);  // more than one symbol block, and past the dictionary
    layout.entries.push_back(entry);
    ExpectRoundTrip(layout, "long ACE 1.0 entry");
}

TEST(WriterTest, BlockedModesEach) {
    Segment delta = Of(kModeDelta, WaveBytes(4000, 1));
    delta.deltaDistance = 4;
    Segment exe16 = Of(kModeExe, Code(3000, 2));
    Segment exe32 = Of(kModeExe, Code(3000, 3));
    exe32.exeMode = 1;
    Segment picture = Of(kModePic, WaveBytes(64 * 30, 9));
    picture.picWidth = 64;
    picture.picPlanes = 3;
    Segment gray = Of(kModePic, WaveBytes(40 * 10, 10));
    gray.picWidth = 40;
    struct Case {
        const char* what;
        std::vector<Segment> segments;
    } cases[] = {
        {"LZ77", {Of(kModeLz77, SampleBytes(5000, 1))}},
        {"DELTA", {Of(kModeLz77, SampleBytes(300, 2)), delta, Of(kModeLz77, SampleBytes(100, 3))}},
        {"EXE 16-bit", {exe16}},
        {"EXE 32-bit", {Of(kModeLz77, SampleBytes(77, 4)), exe32, Of(kModeLz77, SampleBytes(50, 5))}},
        {"SOUND_8", {Of(kModeSound8, WaveBytes(4000, 5)), Of(kModeLz77, SampleBytes(99, 6))}},
        {"SOUND_16", {Of(kModeLz77, SampleBytes(33, 7)), Of(kModeSound16, WaveBytes(8000, 6))}},
        {"SOUND_32A", {Of(kModeSound32A, WaveBytes(8000, 7)), Of(kModeLz77, SampleBytes(10, 8))}},
        {"SOUND_32B", {Of(kModeSound32B, WaveBytes(8000, 8))}},
        {"PIC", {Of(kModeLz77, SampleBytes(50, 9)), picture, Of(kModeLz77, SampleBytes(50, 10))}},
        {"PIC one plane", {gray}},
    };
    for (const auto& test : cases) {
        ArchiveLayout layout;
        layout.entries.push_back(Blocked("a.bin", test.segments));
        ExpectRoundTrip(layout, test.what);
    }
}

TEST(WriterTest, BlockedModesMixedInOneSolidArchive) {
    Segment delta = Of(kModeDelta, WaveBytes(6000, 11));
    delta.deltaDistance = 2;
    Segment exe = Of(kModeExe, Code(5000, 12));
    exe.exeMode = 1;
    Segment picture = Of(kModePic, WaveBytes(96 * 20, 13));
    picture.picWidth = 96;
    picture.picPlanes = 4;
    ArchiveLayout layout;
    layout.solid = true;
    auto text = SampleBytes(20000, 14);
    layout.entries.push_back(Blocked("one.bin", {Of(kModeLz77, text), Of(kModeSound16, WaveBytes(4000, 15)), delta}));
    // The second entry repeats the first one's text: only the carried-over window has it.
    layout.entries.push_back(Blocked("two.bin", {Of(kModeLz77, text), exe, picture, Of(kModeSound8, WaveBytes(400, 16)),
                                                 Of(kModeLz77, SampleBytes(500, 17))}));
    EntrySpec stored;
    stored.name = "three.txt";
    stored.data = SampleBytes(1000, 18);
    layout.entries.push_back(stored);
    EntrySpec ace10;
    ace10.name = "four.txt";
    ace10.method = 1;
    ace10.data = text;
    layout.entries.push_back(ace10);
    ExpectRoundTrip(layout, "mixed solid archive");
}

TEST(WriterTest, WideHeadersStubsAndUnknownBlocks) {
    ArchiveLayout layout;
    layout.stub.assign(300000, 0x4D);  // a self-extractor's program in front
    EntrySpec wide;
    wide.name = "wide.txt";
    wide.method = 1;
    wide.wideSizes = true;
    wide.data = SampleBytes(5000, 20);
    layout.entries.push_back(wide);
    EntrySpec empty;
    empty.name = "empty.txt";
    layout.entries.push_back(empty);
    ExpectRoundTrip(layout, "stub and 64-bit sizes");

    layout.recoveryBlock = true;  // the reference unpacker does not know this block type
    auto contents = UnpackAll(BuildArchive(layout));
    ASSERT_EQ(contents.size(), 2u);
    EXPECT_TRUE(contents[0] == wide.data);
}

TEST(WriterTest, SignatureBeyondTheSearchReachIsNotFound) {
    ArchiveLayout layout;
    EntrySpec entry;
    entry.name = "a.txt";
    entry.data = {'x'};
    layout.entries.push_back(entry);
    layout.stub.assign(512 * 1024 - 7, 0);  // signature at 512 KiB: one byte too far
    TempDir dir;
    WriteFileBytes(dir.path() / "far.ace", BuildArchive(layout));
    EXPECT_THROW(ArchiveReader::Open((dir.path() / "far.ace").string()), AceError);
    layout.stub.pop_back();  // the last position still found
    WriteFileBytes(dir.path() / "near.ace", BuildArchive(layout));
    EXPECT_NO_THROW(ArchiveReader::Open((dir.path() / "near.ace").string()));
}

TEST(WriterTest, CrcMismatchFailsTheEntryOnly) {
    ArchiveLayout layout;
    EntrySpec bad;
    bad.name = "bad.txt";
    bad.method = 1;
    bad.data = SampleBytes(4000, 30);
    bad.storeCorruptCrc = true;
    EntrySpec good = bad;
    good.name = "good.txt";
    good.storeCorruptCrc = false;
    layout.entries = {bad, good};
    TempDir dir;
    WriteFileBytes(dir.path() / "c.ace", BuildArchive(layout));
    auto reader = ArchiveReader::Open((dir.path() / "c.ace").string());
    ASSERT_TRUE(reader->Next());
    VectorSink sink;
    EXPECT_THROW(reader->Unpack(sink), AceError);
    ASSERT_TRUE(reader->Next());
    VectorSink second;
    reader->Unpack(second);
    EXPECT_TRUE(second.bytes == good.data);
}

}  // namespace
}  // namespace zel::ace::test

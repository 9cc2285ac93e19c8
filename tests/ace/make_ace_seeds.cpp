// Writes the seed inputs of the ACE fuzz targets from the test writer.
// Usage: make_ace_seeds CORPUS_DIR   (writes CORPUS_DIR/fuzz_ace_*/...)
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ace/ace_test_util.h"
#include "tests/ace/ace_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::ace;
using namespace zel::ace::test;
using Bytes = std::vector<std::uint8_t>;

// The decoder targets' prefix: dictionary byte, output size (u16), then the stream.
Bytes Prefixed(unsigned dictionaryBits, std::size_t size, const Bytes& stream) {
    Bytes out(3 + stream.size());
    out[0] = static_cast<std::uint8_t>(dictionaryBits - 10);
    out[1] = static_cast<std::uint8_t>(size);
    out[2] = static_cast<std::uint8_t>(size >> 8);
    std::copy(stream.begin(), stream.end(), out.begin() + 3);
    return out;
}

Segment Of(std::uint8_t mode, Bytes data) {
    Segment segment;
    segment.mode = mode;
    segment.data = std::move(data);
    return segment;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    fs::path root = argv[1];
    for (const char* name :
         {"fuzz_ace_reader", "fuzz_ace_lz77", "fuzz_ace_blocked", "fuzz_ace_sound", "fuzz_ace_pic"}) {
        fs::create_directories(root / name);
    }
    auto text = SampleBytes(3000, 1);
    auto wave = WaveBytes(2000, 2);

    ArchiveLayout layout;
    layout.solid = true;
    EntrySpec stored;
    stored.name = "dir\\a.txt";
    stored.data = SampleBytes(200, 3);
    EntrySpec lz77 = stored;
    lz77.name = "b.txt";
    lz77.method = 1;
    lz77.data = text;
    EntrySpec blocked = lz77;
    blocked.name = "c.bin";
    blocked.method = 2;
    blocked.segments = {Of(kModeLz77, SampleBytes(500, 4)), Of(kModeSound16, wave)};
    EntrySpec folder;
    folder.name = "dir";
    folder.attributes = 0x10;
    layout.entries = {folder, stored, lz77, blocked};
    WriteFileBytes(root / "fuzz_ace_reader" / "solid.ace", BuildArchive(layout));
    layout.solid = false;
    layout.entries[2].wideSizes = true;
    layout.stub.assign(100, 'M');
    WriteFileBytes(root / "fuzz_ace_reader" / "stub_wide.ace", BuildArchive(layout));

    {
        StreamWriter writer(16);
        WriteFileBytes(root / "fuzz_ace_lz77" / "text", Prefixed(16, text.size(), writer.Lz77(text)));
    }
    Segment delta = Of(kModeDelta, WaveBytes(800, 5));
    delta.deltaDistance = 4;
    Segment exe = Of(kModeExe, SampleBytes(600, 6));
    exe.exeMode = 1;
    Segment picture = Of(kModePic, WaveBytes(32 * 10, 7));
    picture.picWidth = 32;
    picture.picPlanes = 2;
    struct Case {
        const char* name;
        std::vector<Segment> segments;
    } cases[] = {
        {"lz77_delta", {Of(kModeLz77, SampleBytes(400, 8)), delta, Of(kModeLz77, SampleBytes(100, 9))}},
        {"exe", {exe}},
        {"sound8_32a", {Of(kModeSound8, WaveBytes(400, 10)), Of(kModeSound32A, WaveBytes(800, 11))}},
        {"sound32b", {Of(kModeSound32B, WaveBytes(800, 12))}},
        {"pic", {Of(kModeLz77, SampleBytes(50, 13)), picture}},
    };
    for (const auto& test : cases) {
        StreamWriter writer(20);
        std::size_t size = 0;
        for (const auto& segment : test.segments) size += segment.data.size();
        auto stream = writer.Blocked(test.segments);
        WriteFileBytes(root / "fuzz_ace_blocked" / test.name, Prefixed(20, size, stream));
        // The lone decoders start in their own mode; a blocked stream (which starts with LZ77
        // tables) is only a starting point for their mutations.
        if (test.name[0] == 's') WriteFileBytes(root / "fuzz_ace_sound" / test.name, Prefixed(11, size, stream));
        if (test.name[0] == 'p') {
            Bytes pic(stream.size() + 2);
            pic[0] = static_cast<std::uint8_t>(size);
            pic[1] = static_cast<std::uint8_t>(size >> 8);
            std::copy(stream.begin(), stream.end(), pic.begin() + 2);
            WriteFileBytes(root / "fuzz_ace_pic" / test.name, pic);
        }
    }
    return 0;
}

// Decoding speed of our ACE library against the reference unpacker on the same archives.
// Run: build/bench/ace/ace_bench
// Each *_Ours benchmark opens the archive and unpacks and CRC-checks every entry without writing
// it; each *_Unace one runs "unace t" (which does the same) and is skipped when /usr/bin/unace is
// not installed. Both report their CPU time per run as cpu_ms, which is what to compare on a
// loaded machine. The archives: the largest real samples of each kind (a set of three ACE 1.0
// volumes, a set of two ACE 2.0 volumes with EXE, DELTA and SOUND_16 runs) and two generated
// ones holding 64 MiB each (ACE 1.0 LZ77; ACE 2.0 with LZ77, EXE, DELTA and SOUND_16 runs, a
// little under 64 MiB).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/acelib/archive_reader.h"
#include "tests/ace/ace_test_util.h"
#include "tests/ace/ace_writer.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::ace;

constexpr std::size_t kGeneratedSize = 64u << 20;

double CpuSeconds(int who) {
    struct rusage usage {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The work folder with short-named copies (the reference unpacker fails on some name lengths).
struct Archives {
    test::TempDir folder;

    Archives() {
        const fs::path& dir = folder.path();
        auto samples = test::SamplesDir();
        for (const char* ext : {".ace", ".c00", ".c01"}) {
            fs::copy_file(samples / (std::string("wdlkmpx-unace_v1_multivolume") + ext),
                          dir / (std::string("v1") + ext));
        }
        for (const char* ext : {".ace", ".c00"}) {
            fs::copy_file(samples / (std::string("wdlkmpx-unace_v2_multivol2") + ext), dir / (std::string("v2") + ext));
        }
        auto text = test::SampleBytes(kGeneratedSize, 1);
        test::ArchiveLayout lz77;
        test::EntrySpec entry;
        entry.name = "big.txt";
        entry.method = 1;
        entry.dictionaryBits = 22;
        entry.data = text;
        lz77.entries.push_back(entry);
        test::WriteFileBytes(dir / "g1.ace", test::BuildArchive(lz77));

        // A quarter each of text, x86-like code, interleaved samples and 16-bit audio.
        const std::size_t quarter = kGeneratedSize / 4;
        test::ArchiveLayout blocked;
        entry.method = 2;
        entry.data.clear();
        auto segment = [](std::uint8_t mode, std::vector<std::uint8_t> data) {
            test::Segment s;
            s.mode = mode;
            s.data = std::move(data);
            return s;
        };
        auto code = test::SampleBytes(quarter, 2);
        for (std::size_t i = 0; i + 8 < code.size(); i += 9) code[i] = 0xE8;
        for (std::size_t i = code.size() - 8; i < code.size(); ++i) code[i] = 0x90;
        test::Segment exe = segment(kModeExe, std::move(code));
        exe.exeMode = 1;
        entry.segments = {segment(kModeLz77, std::vector<std::uint8_t>(text.begin(), text.begin() + quarter)), exe,
                          segment(kModeSound16, test::WaveBytes(quarter, 4))};
        // A DELTA run holds less than 2^17 bytes: the last quarter is many runs, each followed
        // by a little text.
        auto wave = test::WaveBytes(quarter, 3);
        constexpr std::size_t kDeltaRun = 60000, kTextRun = 4000;
        for (std::size_t at = 0; at + kDeltaRun + kTextRun <= quarter; at += kDeltaRun + kTextRun) {
            test::Segment delta =
                segment(kModeDelta, std::vector<std::uint8_t>(wave.begin() + at, wave.begin() + at + kDeltaRun));
            delta.deltaDistance = 4;
            entry.segments.push_back(delta);
            entry.segments.push_back(
                segment(kModeLz77, std::vector<std::uint8_t>(text.begin() + at, text.begin() + at + kTextRun)));
        }
        blocked.entries.push_back(entry);
        test::WriteFileBytes(dir / "g2.ace", test::BuildArchive(blocked));
    }
};

Archives& TheArchives() {
    static Archives archives;
    return archives;
}

void DecodeOurs(benchmark::State& state, const char* name) {
    std::string path = (TheArchives().folder.path() / name).string();
    std::uint64_t bytes = 0;
    double before = CpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        auto reader = ArchiveReader::Open(path);
        while (reader->Next()) {
            NullSink sink;
            bytes += reader->Current().originalSize;
            reader->Unpack(sink);
        }
    }
    state.counters["cpu_ms"] = (CpuSeconds(RUSAGE_SELF) - before) * 1000.0 / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void DecodeUnace(benchmark::State& state, const char* name) {
    if (!fs::exists("/usr/bin/unace")) {
        state.SkipWithError("unace is not installed");
        return;
    }
    std::string line =
        "cd '" + TheArchives().folder.path().string() + "' && /usr/bin/unace t -y " + name + " >/dev/null 2>&1";
    double before = CpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(line.c_str()) != 0) {
            state.SkipWithError("unace failed");
            return;
        }
    }
    state.counters["cpu_ms"] =
        (CpuSeconds(RUSAGE_CHILDREN) - before) * 1000.0 / static_cast<double>(state.iterations());
}

void BM_Ace10Sample_Ours(benchmark::State& state) { DecodeOurs(state, "v1.ace"); }
void BM_Ace10Sample_Unace(benchmark::State& state) { DecodeUnace(state, "v1.ace"); }
void BM_Ace20Sample_Ours(benchmark::State& state) { DecodeOurs(state, "v2.ace"); }
void BM_Ace20Sample_Unace(benchmark::State& state) { DecodeUnace(state, "v2.ace"); }
void BM_Ace10Generated_Ours(benchmark::State& state) { DecodeOurs(state, "g1.ace"); }
void BM_Ace10Generated_Unace(benchmark::State& state) { DecodeUnace(state, "g1.ace"); }
void BM_Ace20Generated_Ours(benchmark::State& state) { DecodeOurs(state, "g2.ace"); }
void BM_Ace20Generated_Unace(benchmark::State& state) { DecodeUnace(state, "g2.ace"); }

}  // namespace

BENCHMARK(BM_Ace10Sample_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_Ace10Sample_Unace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_Ace20Sample_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_Ace20Sample_Unace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_Ace10Generated_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Ace10Generated_Unace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Ace20Generated_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Ace20Generated_Unace)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Extraction speed of Arcopen against the archivers' own extractors, on one 64 MiB file; and what
// an archive bomb (1 GiB of zeros in one entry) costs with an extraction limit of 2 MiB.
// Run: build/bench/archive/archive_bench   (the archives are made once, at start, with arj, zip
// and rar; the *_Tool benchmarks time the command-line extractors on the same archives).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include "archive/qv_archive.h"
#include "fileio/file.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kFileSize = 64u << 20;

// The work folder with input.dat and its archives, made on first use.
struct Archives {
    zel::platform::TempFolder folder{"zel-archive-bench-"};

    Archives() {
        WriteInput(folder.path() + "/input.dat");
        const std::string& dir = folder.path();
        Run("cd '" + dir + "' && arj a -m1 -y method1.arj input.dat >/dev/null");
        Run("cd '" + dir + "' && arj a -m4 -y method4.arj input.dat >/dev/null");
        Run("cd '" + dir + "' && zip -q -X input.zip input.dat");
        Run("cd '" + dir + "' && rar a -idq -ma5 input.rar input.dat");
        Run("cd '" + dir + "' && head -c 1073741824 /dev/zero | zip -q -X bomb.zip -");
        Run("cd '" + dir + "' && head -c 1073741824 /dev/zero | rar a -idq -ma5 -sibomb.dat bomb.rar");
    }

    static void Run(const std::string& command) {
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::abort();
        }
    }

    // Text-like data: words drawn from a small vocabulary, so that it compresses about 3:1 as
    // documents and programs do.
    static void WriteInput(const std::string& path) {
        static const char* const kWords[] = {"archive ", "header ", "entry ", "decoder ", "window ", "\r\n",
                                             "table ",   "the ",    "of ",    "0x60EA ",  "block ",  "size "};
        std::mt19937 rng(42);
        std::string data;
        data.reserve(kFileSize + 16);
        while (data.size() < kFileSize) {
            data += kWords[rng() % 12];
            if (rng() % 16 == 0) data += static_cast<char>('A' + rng() % 26);
        }
        data.resize(kFileSize);
        CFile file;
        if (!file.Open(path, CFile::modeCreate | CFile::modeWrite)) std::abort();
        file.Write(data.data(), static_cast<UINT>(data.size()));
        file.Close();
    }
};

Archives& TheArchives() {
    static Archives archives;
    return archives;
}

// Extracts every entry of `archive` through Arcopen into the work folder, at most `limit` bytes of
// each (0: all).
void ExtractThroughInterface(benchmark::State& state, const std::string& archive, std::uint64_t limit = 0) {
    const std::string& dir = TheArchives().folder.path();
    std::string path = dir + "/" + archive;
    std::string output = dir + "/out.dat";
    struct rusage start {};
    getrusage(RUSAGE_SELF, &start);
    for (auto _ : state) {
        std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
        if (!reader || !reader->Open(path.c_str())) {
            state.SkipWithError("cannot open");
            return;
        }
        reader->SetExtractLimit(limit);
        try {
            reader->ExtractFirst();
            for (;;) {
                reader->GetExtractName();
                reader->Extract(output, 0);
                reader->ExtractNext();
            }
        } catch (const CQVArchiveException& failure) {
            if (failure.GetError() != CQVArchiveException::eEndOfArchive) {
                state.SkipWithError("extraction failed");
                return;
            }
        }
    }
    struct rusage end {};
    getrusage(RUSAGE_SELF, &end);
    double seconds =
        static_cast<double>(end.ru_utime.tv_sec - start.ru_utime.tv_sec + end.ru_stime.tv_sec - start.ru_stime.tv_sec) +
        static_cast<double>(end.ru_utime.tv_usec - start.ru_utime.tv_usec + end.ru_stime.tv_usec -
                            start.ru_stime.tv_usec) /
            1e6;
    state.counters["cpu_ms"] = seconds * 1000.0 / static_cast<double>(state.iterations());
    if (limit == 0) state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

// User and system time of the finished child processes, in seconds.
double ChildrenCpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs an archiver's own extractor on `archive`. Its CPU time (the shell's included) is reported
// as cpu_ms per run, to set beside the CPU time of the Arcopen benchmarks on a loaded machine.
void ExtractWithTool(benchmark::State& state, const std::string& command) {
    const std::string& dir = TheArchives().folder.path();
    std::string line = "cd '" + dir + "' && mkdir -p tool && cd tool && " + command + " >/dev/null 2>&1";
    double before = ChildrenCpuSeconds();
    for (auto _ : state) {
        if (std::system(line.c_str()) != 0) {
            state.SkipWithError("tool failed");
            return;
        }
    }
    state.counters["cpu_ms"] = (ChildrenCpuSeconds() - before) * 1000.0 / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kFileSize));
}

void BM_ArjMethod1_Arcopen(benchmark::State& state) { ExtractThroughInterface(state, "method1.arj"); }
void BM_ArjMethod1_Tool(benchmark::State& state) { ExtractWithTool(state, "arj e -y ../method1.arj"); }
void BM_ArjMethod4_Arcopen(benchmark::State& state) { ExtractThroughInterface(state, "method4.arj"); }
void BM_ArjMethod4_Tool(benchmark::State& state) { ExtractWithTool(state, "arj e -y ../method4.arj"); }
void BM_Zip_Arcopen(benchmark::State& state) { ExtractThroughInterface(state, "input.zip"); }
void BM_Zip_Tool(benchmark::State& state) { ExtractWithTool(state, "unzip -o -qq ../input.zip"); }
void BM_Rar_Arcopen(benchmark::State& state) { ExtractThroughInterface(state, "input.rar"); }
void BM_Rar_Tool(benchmark::State& state) { ExtractWithTool(state, "unrar e -o+ -idq ../input.rar"); }
constexpr std::uint64_t kBombLimit = 2u << 20;
void BM_ZipBomb_Limited(benchmark::State& state) { ExtractThroughInterface(state, "bomb.zip", kBombLimit); }
void BM_RarBomb_Limited(benchmark::State& state) { ExtractThroughInterface(state, "bomb.rar", kBombLimit); }

}  // namespace

BENCHMARK(BM_ArjMethod1_Arcopen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ArjMethod1_Tool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ArjMethod4_Arcopen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ArjMethod4_Tool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Zip_Arcopen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Zip_Tool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Rar_Arcopen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Rar_Tool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ZipBomb_Limited)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_RarBomb_Limited)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Decoding speed of the cabinet decompressor against cabextract, on cabinets holding one file of
// 64 MiB: MSZIP made by `gcab -c -z`, LZX (2^21 window) and Quantum (2^21 window) made by the test
// encoders, which no tool on the system can make. The cabinets take a few minutes to make and are
// kept in $TMPDIR/zel-cab-bench (delete it to make them again).
// Run: build/bench/cabinet/cab_bench [--benchmark_filter=Lzx]
// Each benchmark writes the file to disk, as cabextract does; cpu_ms is the CPU time per run
// (the child's for cabextract), to compare on a loaded machine.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive/cabinet/cabinet.h"
#include "platform/low_io.h"
#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/cab_writer.h"

namespace {

using namespace zel::cabinet;
using namespace zel::cabinet::test;

constexpr std::size_t kFileSize = 64u << 20;

std::string Dir() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr ? tmp : "/tmp") + "/zel-cab-bench";
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::abort();
    }
}

// Text-like data with some binary stretches: words from a small vocabulary, numbers, and now and
// then a run of random bytes, so that it compresses about 3:1.
Bytes MakeInput() {
    static const char* const kWords[] = {"cabinet ", "folder ", "entry ", "decoder ", "window ", "\r\n",
                                         "table ",   "the ",    "of ",    "0x60EA ",  "block ",  "size "};
    std::mt19937 rng(42);
    Bytes data;
    data.reserve(kFileSize + 64);
    while (data.size() < kFileSize) {
        if (rng() % 64 == 0) {
            for (int i = 0, n = int(rng() % 48); i < n; ++i) data.push_back(std::uint8_t(rng()));
        }
        const char* word = kWords[rng() % 12];
        data.insert(data.end(), word, word + std::char_traits<char>::length(word));
        if (rng() % 8 == 0) {
            std::string number = std::to_string(rng() % 100000) + " ";
            data.insert(data.end(), number.begin(), number.end());
        }
    }
    data.resize(kFileSize);
    return data;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path + ".part", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    std::filesystem::rename(path + ".part", path);
}

// Makes the three cabinets once.
const std::string& Cabinets() {
    static const std::string dir = [] {
        const std::string d = Dir();
        std::filesystem::create_directories(d + "/out");
        const bool haveAll = std::filesystem::exists(d + "/mszip.cab") && std::filesystem::exists(d + "/lzx.cab") &&
                             std::filesystem::exists(d + "/quantum.cab");
        if (haveAll) return d;
        std::fprintf(stderr, "making the 64 MiB cabinets in %s (a few minutes)...\n", d.c_str());
        Bytes input = MakeInput();
        WriteBytes(d + "/input.dat", input);
        Run("cd '" + d + "' && gcab -c -z mszip.cab input.dat");
        WriterFolder folder;
        folder.files.push_back({"input.dat", std::move(input)});
        folder.compressionType = CompressionType(3, 21);
        WriteBytes(d + "/lzx.cab", WriteCabinet({folder}));
        folder.compressionType = CompressionType(2, 21);
        WriteBytes(d + "/quantum.cab", WriteCabinet({folder}));
        return d;
    }();
    return dir;
}

double CpuSeconds(int who) {
    struct rusage usage {};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Our decompressor: CabCopy over the real files, writing the file to the out folder.
std::string g_output;
CabHandle Notify(ECabNotification type, CabNotification* note) {
    using namespace zel::platform;
    if (type == cabNotifyCopyFile) {
        return LowOpen(g_output.c_str(), kLowWriteOnly | kLowBinary | kLowCreate | kLowTruncate,
                       kLowModeRead | kLowModeWrite);
    }
    if (type == cabNotifyCloseFileInfo) {
        LowClose(note->handle);
        return 1;
    }
    return 0;
}

void Ours(benchmark::State& state, const char* cabinet) {
    const std::string& dir = Cabinets();
    g_output = dir + "/out/ours.dat";
    const double before = CpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        CabErrorRecord error;
        CabContext* context = CabCreate(PosixCallbacks(), 1, &error);
        const bool ok =
            context != nullptr && CabCopy(context, cabinet, (dir + "/").c_str(), 0, Notify, nullptr, nullptr);
        if (context != nullptr) CabDestroy(context);
        if (!ok || std::filesystem::file_size(g_output) != kFileSize) {
            state.SkipWithError("extraction failed");
            return;
        }
    }
    state.counters["cpu_ms"] = (CpuSeconds(RUSAGE_SELF) - before) * 1000.0 / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations() * kFileSize));
}

void Cabextract(benchmark::State& state, const char* cabinet) {
    const std::string& dir = Cabinets();
    const std::string line = "cd '" + dir + "' && cabextract -q -d out/tool " + cabinet + " >/dev/null 2>&1";
    const double before = CpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(line.c_str()) != 0) {
            state.SkipWithError("cabextract failed");
            return;
        }
    }
    state.counters["cpu_ms"] = (CpuSeconds(RUSAGE_CHILDREN) - before) * 1000.0 / double(state.iterations());
    state.SetBytesProcessed(std::int64_t(state.iterations() * kFileSize));
}

}  // namespace

BENCHMARK_CAPTURE(Ours, Mszip, "mszip.cab")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Cabextract, Mszip, "mszip.cab")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Ours, Lzx, "lzx.cab")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Cabextract, Lzx, "lzx.cab")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Ours, Quantum, "quantum.cab")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(Cabextract, Quantum, "quantum.cab")->Unit(benchmark::kMillisecond)->UseRealTime();

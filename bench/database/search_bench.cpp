// Search and load speed of the trojan database on a 2 MiB buffer (the scan window).
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <filesystem>
#include <memory>
#include <random>

#include "database/qv_crypt_file.h"
#include "database/trojan_base2.h"
#include "platform/files.h"

namespace {

constexpr int kBufferBytes = 2 * 1024 * 1024;

std::vector<BYTE> RandomBytes(size_t n, unsigned seed) {
    std::mt19937_64 random(seed);
    std::vector<BYTE> bytes(n);
    for (auto& b : bytes) b = static_cast<BYTE>(random());
    return bytes;
}

// A database of `signatures` signatures, three per record, whose windows are random 16-byte
// strings at ascending offsets spread over a 2 MiB file, as generated signatures are.
void Fill(CTrojanBase2& base, int signatures, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<DWORD> first(1024, kBufferBytes - 4096);
    std::uniform_int_distribution<DWORD> gap(48, 1000);
    auto windows = RandomBytes(static_cast<size_t>(signatures) * 48, seed + 1);
    for (int s = 0; s < signatures; ++s) {
        int index = base.GetSize();
        if (s % 3 == 0)
            index = base.Add("Backdoor", "Trojan" + std::to_string(s / 3), "1.0", 0x21);
        else
            index = base.GetSize() - 1;
        base.AddImage(index, "sample" + std::to_string(s) + ".exe");
        CTrojan2& record = *base.GetTrojan(index);
        CSignature& signature = record.GetSignature(record.GetSignatureCount() - 1);
        DWORD offset = first(random);
        for (int slot = 0; slot < 3; ++slot) {
            signature.SetWindow(slot, windows.data() + s * 48 + slot * 16, offset);
            offset += gap(random);
        }
    }
}

void BM_Find(benchmark::State& state) {
    CTrojanBase2 base;
    Fill(base, static_cast<int>(state.range(0)), 7);
    auto buffer = RandomBytes(kBufferBytes, 99);
    int mode = static_cast<int>(state.range(1));
    base.Find(buffer.data(), kBufferBytes, 0, mode);  // builds the index
    for (auto _ : state) {
        benchmark::DoNotOptimize(base.Find(buffer.data(), kBufferBytes, 0, mode));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kBufferBytes);
}
BENCHMARK(BM_Find)
    ->ArgNames({"signatures", "mode"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The plain loop over every record, for comparison.
void BM_FindByRecord(benchmark::State& state) {
    CTrojanBase2 base;
    Fill(base, static_cast<int>(state.range(0)), 7);
    auto buffer = RandomBytes(kBufferBytes, 99);
    int mode = static_cast<int>(state.range(1));
    for (auto _ : state) {
        int found = -1;
        for (int i = 0; i < base.GetSize() && found < 0; ++i) {
            if (base.GetTrojan(i)->FindMe(buffer.data(), kBufferBytes, mode)) found = i;
        }
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_FindByRecord)
    ->ArgNames({"signatures", "mode"})
    ->ArgsProduct({{1000, 10000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_BuildIndex(benchmark::State& state) {
    CTrojanBase2 base;
    Fill(base, static_cast<int>(state.range(0)), 7);
    auto buffer = RandomBytes(kBufferBytes, 99);
    for (auto _ : state) {
        CSignature& signature = base.GetTrojan(0)->GetSignature(0);
        signature.SetOffset(0, signature.GetOffset(0));  // a change: the next search rebuilds
        benchmark::DoNotOptimize(base.Find(buffer.data(), kBufferBytes, 0, 0));
    }
}
BENCHMARK(BM_BuildIndex)->Arg(100000)->Unit(benchmark::kMillisecond);

// Writes a database of `records` records straight to the file, since building it with Add (linear
// look-ups by design) would take longer than the measurement. Full records have a version, a
// registry entry and three signatures; empty ones have nothing (8 bytes each in the file).
void WriteLargeDatabase(const std::string& path, int records, bool empty) {
    CQVCryptFile file;
    file.SetKey(CQVCryptFile::kDatabaseKey);
    file.EnableCipher(1);
    file.Open(path, CFile::modeWrite | CFile::modeCreate);
    CArchive archive(&file, CArchive::store);
    archive << CString("Zel benchmark database") << WORD{0} << WORD{1} << CString("Backdoor");
    const int names = 60000;
    archive << static_cast<WORD>(names);
    for (int n = 0; n < names; ++n) archive << CString("Trojan" + std::to_string(n));
    archive << WORD{1} << CString("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
    archive << static_cast<DWORD>(records);
    // Distinct random windows, as generated signatures have: the index built over them is the
    // index a real database gets.
    std::mt19937_64 random(3);
    BYTE windows[48];
    for (int r = 0; r < records; ++r) {
        CTrojan2 record;
        record.m_nameIndex = static_cast<WORD>(r % names);
        if (!empty) {
            record.m_version = std::to_string(r / names + 1) + ".0";
            record.m_cureFlags = 0x21;
            record.AddRegentry(0x0300);
            for (int s = 0; s < 3; ++s) {
                record.AddImage("C:\\samples\\trojan" + std::to_string(r) + "_" + std::to_string(s) + ".exe");
                for (BYTE& b : windows) b = static_cast<BYTE>(random());
                for (int slot = 0; slot < 3; ++slot) {
                    record.GetSignature(s).SetWindow(slot, windows + slot * 16,
                                                     static_cast<DWORD>(2000 + slot * 100 + r % 1000000));
                }
            }
        }
        record.Serialize(archive);
    }
    archive.Close();
    file.Close();
}

// Heap bytes in use (glibc), to tell what a loaded database costs.
double HeapInUse() {
    struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

void Load(benchmark::State& state, bool empty) {
    const int records = static_cast<int>(state.range(0));
    zel::platform::TempFolder folder("zel-bench-");
    std::string path = folder.path() + "/load.tdb";
    WriteLargeDatabase(path, records, empty);
    const double file_bytes = static_cast<double>(std::filesystem::file_size(path));
    for (auto _ : state) {
        double before = HeapInUse();
        CTrojanBase2 base;
        if (!base.LoadFromCryptFile(path) || base.GetTotalSignatureCount() != (empty ? 0 : 3 * records)) {
            state.SkipWithError("the database did not load");
        }
        state.counters["heap_bytes_per_record"] = (HeapInUse() - before) / records;
    }
    state.counters["file_bytes_per_record"] = file_bytes / records;
}

void BM_Load(benchmark::State& state) { Load(state, false); }
BENCHMARK(BM_Load)->ArgName("records")->Arg(100000)->Unit(benchmark::kMillisecond);

// What a scan waits for before its first file: the database loaded and the index of one mode built.
void BM_LoadAndIndex(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    const int mode = static_cast<int>(state.range(1));
    zel::platform::TempFolder folder("zel-bench-");
    std::string path = folder.path() + "/load.tdb";
    WriteLargeDatabase(path, records, false);
    for (auto _ : state) {
        auto base = std::make_unique<CTrojanBase2>();
        if (!base->LoadFromCryptFile(path)) state.SkipWithError("the database did not load");
        base->PrepareSearch(mode);
        state.PauseTiming();  // a scanner frees it at its end, not before its first file
        base.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadAndIndex)
    ->ArgNames({"records", "mode"})
    ->ArgsProduct({{100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_LoadEmptyRecords(benchmark::State& state) { Load(state, true); }
BENCHMARK(BM_LoadEmptyRecords)->ArgName("records")->Arg(4000000)->Unit(benchmark::kMillisecond);

}  // namespace

// Speed of the Wine registry files on a fresh prefix's system.reg (1.6 MB, 7,600 key blocks):
// reading, writing back, and one value edit as disinfection makes it (set or delete, then an
// atomic save of the whole file).
#include <benchmark/benchmark.h>

#include <filesystem>

#include "platform/wine/wine_registry.h"
#include "platform/wine/wine_registry_file.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace zel::platform;

const fs::path kFresh = fs::path(ZEL_SHARED_DIR) / "wine-prefix" / "fresh";
constexpr std::uint64_t kStamp = 0x1dd860c071a037eull;
const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void BM_ParseSystemReg(benchmark::State& state) {
    std::string bytes = zel::testing::ReadBytes(kFresh / "system.reg");
    std::string error;
    for (auto _ : state) benchmark::DoNotOptimize(WineRegistryFile::Parse(bytes, error));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseSystemReg)->Unit(benchmark::kMillisecond);

void BM_SerializeSystemReg(benchmark::State& state) {
    std::string bytes = zel::testing::ReadBytes(kFresh / "system.reg");
    std::string error;
    auto file = WineRegistryFile::Parse(bytes, error);
    for (auto _ : state) benchmark::DoNotOptimize(file->Serialize());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_SerializeSystemReg)->Unit(benchmark::kMillisecond);

// One value set and deleted again in HKEY_LOCAL_MACHINE's Run key: two atomic saves of system.reg.
void BM_EditRunValueOnDisk(benchmark::State& state) {
    zel::testing::TempDir folder;
    const fs::path& dir = folder.path();
    for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
        fs::copy_file(kFresh / name, dir / name, fs::copy_options::overwrite_existing);
        fs::permissions(dir / name, fs::perms::owner_write, fs::perm_options::add);
    }
    WineRegistry registry(dir.string(), {[] { return kStamp; }, [] { return false; }});
    RegistryValue value{"Evil", kRegSz, std::string("C:\\windows\\a.exe\0", 17)};
    for (auto _ : state) {
        registry.SetValue(RegistryRoot::kLocalMachine, kRun, value);
        registry.DeleteValue(RegistryRoot::kLocalMachine, kRun, "Evil");
    }
}
BENCHMARK(BM_EditRunValueOnDisk)->Unit(benchmark::kMillisecond);

}  // namespace

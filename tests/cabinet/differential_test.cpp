// Our decompressor against libmspack on the real cabinets: where both extract a file, the bytes
// must agree; where they disagree on success, the case is named below with the reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/fixtures.h"
#include "tests/cabinet/support/mspack_oracle.h"

namespace zel::cabinet::test {
namespace {

TEST(CabDifferential, EveryRealCabinetAgreesWithLibmspack) {
    const std::string dir = FixturesDir();
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".cab") continue;
        const std::string name = entry.path().filename().string();
        Bytes bytes = ReadWholeFile(entry.path().string());
        MemoryFiles files;
        files.Add("in", bytes);
        RunResult ours = ExtractMemory(files, "", "in");
        OracleResult theirs = MspackExtract(bytes);
        EXPECT_EQ(CompareWithOracle(ours, theirs), "") << name;
        std::printf("%-45s ours %d (err %d, %zu files) mspack opened %d allok %d (%zu files)\n", name.c_str(),
                    ours.ok, ours.error.code, ours.files.size(), theirs.opened, theirs.AllOk(), theirs.files.size());
        ++compared;
    }
    EXPECT_GT(compared, 40);
}

}  // namespace
}  // namespace zel::cabinet::test

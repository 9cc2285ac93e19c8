// The cabinet container: notifications, skipping and restarting, reserve areas, checksums,
// versions, sets with split blocks, and damaged or failing input at every point.
#include <gtest/gtest.h>

#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/cab_writer.h"
#include "tests/cabinet/support/mspack_oracle.h"
#include "tests/cabinet/support/test_data.h"

namespace zel::cabinet::test {
namespace {

WriterFolder MakeFolder(std::uint16_t type, std::vector<std::size_t> sizes, std::uint32_t seed) {
    WriterFolder folder;
    folder.compressionType = type;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        folder.files.push_back({"f" + std::to_string(seed) + "_" + std::to_string(i) + ".bin",
                                MakeTestData(sizes[i], seed * 10 + std::uint32_t(i))});
    }
    return folder;
}

// Three folders (MSZIP, LZX, Quantum), files spanning blocks, an empty file.
std::vector<WriterFolder> MixedFolders() {
    return {MakeFolder(CompressionType(1), {40000, 0, 50000}, 1), MakeFolder(CompressionType(3, 16), {70000, 5}, 2),
            MakeFolder(CompressionType(2, 15), {30000, 40000}, 3)};
}

void ExpectFiles(const RunResult& result, const std::vector<WriterFolder>& folders) {
    std::size_t k = 0;
    for (const auto& folder : folders) {
        for (const auto& file : folder.files) {
            ASSERT_LT(k, result.files.size());
            EXPECT_EQ(result.files[k].name, file.name);
            EXPECT_EQ(result.files[k].data, file.data) << file.name;
            ++k;
        }
    }
    EXPECT_EQ(k, result.files.size());
}

RunResult RunBytes(const Bytes& cab, const RunOptions& options = {}) {
    MemoryFiles files;
    files.Add("c.cab", cab);
    RunResult result = ExtractMemory(files, "", "c.cab", options);
    EXPECT_EQ(files.openHandles, 0);
    EXPECT_EQ(files.liveAllocations, 0);
    return result;
}

TEST(Cabinet, ExtractsEveryFolderAndSendsTheNotificationsInOrder) {
    auto folders = MixedFolders();
    RunResult result = RunBytes(WriteCabinet(folders));
    ASSERT_TRUE(result.ok) << result.error.code;
    ExpectFiles(result, folders);
    ASSERT_GE(result.notifications.size(), 3u);
    EXPECT_EQ(result.notifications.front(), cabNotifyCabinetInfo);
    EXPECT_EQ(result.notifications[1], cabNotifyEnumerate);
    EXPECT_EQ(result.notifications.back(), cabNotifyEnumerate);
    int copies = 0, closes = 0;
    for (int n : result.notifications) {
        copies += n == cabNotifyCopyFile;
        closes += n == cabNotifyCloseFileInfo;
    }
    EXPECT_EQ(copies, 7);
    EXPECT_EQ(closes, 7);
}

TEST(Cabinet, SkippedFilesCostNothingAndTheLastFileAloneDecodesItsWholeFolder) {
    auto folders = MixedFolders();
    Bytes cab = WriteCabinet(folders);
    // Damage every data block's payload: skipping everything must not even read it.
    Bytes damaged = cab;
    for (std::size_t i = 1000; i < damaged.size(); i += 97) damaged[i] ^= 0x5A;
    RunOptions skipAll;
    skipAll.only = {"none"};
    RunResult skipped = RunBytes(damaged, skipAll);
    EXPECT_TRUE(skipped.ok);
    EXPECT_TRUE(skipped.files.empty());
    EXPECT_EQ(skipped.offered.size(), 7u);

    RunOptions lastOnly;
    lastOnly.only = {folders[1].files[1].name};
    RunResult result = RunBytes(cab, lastOnly);
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].data, folders[1].files[1].data);
}

TEST(Cabinet, AFileBeforeTheCurrentPositionRestartsItsFolder) {
    for (std::uint16_t type :
         {CompressionType(0), CompressionType(1), CompressionType(2, 16), CompressionType(3, 17)}) {
        SCOPED_TRACE(type);
        auto folder = MakeFolder(type, {50000, 3000, 60000}, 7);
        WriterOptions reversed;
        reversed.reverseFileOrder = true;
        RunResult result = RunBytes(WriteCabinet({folder}, reversed));
        ASSERT_TRUE(result.ok) << result.error.code;
        ASSERT_EQ(result.files.size(), 3u);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(result.files[i].data, folder.files[2 - i].data) << i;
    }
}

TEST(Cabinet, ReserveAreasOfEverySizeAreSkippedAndAcceptedByLibmspack) {
    auto folders = MixedFolders();
    for (int h : {0, 1, 60}) {
        for (int f : {0, 3, 255}) {
            for (int d : {0, 1, 7}) {
                SCOPED_TRACE(std::to_string(h) + "/" + std::to_string(f) + "/" + std::to_string(d));
                WriterOptions options;
                options.headerReserve = std::uint16_t(h);
                options.folderReserve = std::uint8_t(f);
                options.dataReserve = std::uint8_t(d);
                Bytes cab = WriteCabinet({folders[0], folders[2]}, options);
                RunResult result = RunBytes(cab);
                ASSERT_TRUE(result.ok) << result.error.code;
                ExpectFiles(result, {folders[0], folders[2]});
                // The data reserve takes part in the checksum; libmspack agrees only without one.
                if (d == 0) {
                    EXPECT_TRUE(MspackExtract(cab).AllOk());
                }
            }
        }
    }
}

TEST(Cabinet, ChecksumsAreCheckedUnlessZero) {
    auto folder = MakeFolder(CompressionType(0), {1000}, 9);
    Bytes cab = WriteCabinet({folder});
    Bytes damaged = cab;
    damaged[damaged.size() - 10] ^= 1;
    RunResult bad = RunBytes(damaged);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.error.code, cabErrCorrupt);

    WriterOptions unchecked;
    unchecked.checksums = false;
    Bytes plain = WriteCabinet({folder}, unchecked);
    plain[plain.size() - 10] ^= 1;
    RunResult accepted = RunBytes(plain);
    EXPECT_TRUE(accepted.ok);
    ASSERT_EQ(accepted.files.size(), 1u);
    EXPECT_NE(accepted.files[0].data, folder.files[0].data);
}

TEST(Cabinet, VersionOtherThan13IsRefusedWithTheVersionFound) {
    WriterOptions old;
    old.versionMinor = 2;
    Bytes cab = WriteCabinet({MakeFolder(0, {10}, 1)}, old);
    RunResult result = RunBytes(cab);
    EXPECT_EQ(result.error.code, cabErrUnknownVersion);
    EXPECT_EQ(result.error.extra, 0x0102);

    MemoryFiles files;
    files.Add("c.cab", cab);
    files.Add("good.cab", WriteCabinet({MakeFolder(0, {10, 20}, 1)}));
    files.Add("text", Bytes(100, 'x'));
    CabErrorRecord error;
    CabContext* context = CabCreate(MemoryFiles::Callbacks(), 1, &error);
    ASSERT_NE(context, nullptr);
    auto probe = [&](const char* name, CabInfo* info) {
        CabHandle h = MemoryFiles::Callbacks().open(name, cabOpenReadOnly, 0);
        bool is = CabIsCabinet(context, h, info);
        MemoryFiles::Callbacks().close(h);
        return is;
    };
    CabInfo info;
    EXPECT_FALSE(probe("c.cab", &info));
    EXPECT_EQ(error.code, cabErrUnknownVersion);
    error = {};
    EXPECT_FALSE(probe("text", &info));
    EXPECT_EQ(error.code, cabErrNone);  // merely no cabinet: nothing reported
    ASSERT_TRUE(probe("good.cab", &info));
    EXPECT_EQ(info.fileCount, 2);
    EXPECT_EQ(info.folderCount, 1);
    EXPECT_EQ(info.setId, 0x4242);
    EXPECT_FALSE(info.hasNext);
    CabDestroy(context);
    EXPECT_EQ(files.liveAllocations, 0);
}

TEST(Cabinet, MszipBlockWithoutSignatureFailsInTheDecompressor) {
    WriterOptions unchecked;
    unchecked.checksums = false;
    Bytes cab = WriteCabinet({MakeFolder(CompressionType(1), {5000}, 2)}, unchecked);
    // The first data block's payload starts right after its 8-byte header at the folder's offset.
    std::uint32_t folderOffset = cab[36] | cab[37] << 8 | cab[38] << 16 | cab[39] << 24;
    ASSERT_EQ(cab[folderOffset + 8], 'C');
    cab[folderOffset + 8] = 'X';
    RunResult result = RunBytes(cab);
    EXPECT_EQ(result.error.code, cabErrDecompressor);
}

TEST(Cabinet, NotificationResultsAbortSkipAndFailAsDocumented) {
    auto folder = MakeFolder(CompressionType(1), {3000, 4000}, 5);
    folder.files[1].attributes = 0x21 | 0x40;
    Bytes cab = WriteCabinet({folder});

    RunOptions abortFirst;
    abortFirst.abortAtCopy = 0;
    EXPECT_EQ(RunBytes(cab, abortFirst).error.code, cabErrUserAbort);

    RunResult normal = RunBytes(cab);
    ASSERT_EQ(normal.closeNotes.size(), 2u);
    EXPECT_EQ(normal.closeNotes[0].size, 0);
    EXPECT_EQ(normal.closeNotes[1].size, 1);  // "run after extraction" is reported as size 1
    EXPECT_EQ(normal.closeNotes[1].attributes, 0x21);

    RunOptions closeZero;
    closeZero.closeResult = 0;
    EXPECT_EQ(RunBytes(cab, closeZero).error.code, cabErrTargetFile);
    RunOptions closeAbort;
    closeAbort.closeResult = -1;
    EXPECT_EQ(RunBytes(cab, closeAbort).error.code, cabErrUserAbort);  // RunBytes checks the handle was closed
}

TEST(Cabinet, ShortWritesFailWithTargetFileAndCloseTheOutput) {
    MemoryFiles files;
    files.Add("c.cab", WriteCabinet({MakeFolder(CompressionType(3, 15), {100000}, 6)}));
    files.failWriteAt = 2;
    RunResult result = ExtractMemory(files, "", "c.cab");
    EXPECT_EQ(result.error.code, cabErrTargetFile);
    EXPECT_EQ(files.openHandles, 0);
    EXPECT_EQ(files.liveAllocations, 0);
}

TEST(Cabinet, TruncationAtEveryOffsetFailsCleanly) {
    auto folders = MixedFolders();
    folders[0].files.resize(1);
    folders[0].files[0].data.resize(5000);
    folders[1].files[0].data.resize(40000);
    folders[2].files[1].data.resize(3000);
    Bytes cab = WriteCabinet(folders);
    for (std::size_t cut = 0; cut < cab.size(); cut += (cut < 400 ? 1 : 13)) {
        MemoryFiles files;
        files.Add("c.cab", Bytes(cab.begin(), cab.begin() + std::ptrdiff_t(cut)));
        RunResult result = ExtractMemory(files, "", "c.cab");
        ASSERT_FALSE(result.ok) << cut;
        ASSERT_EQ(result.error.errorFlag, 1);
        ASSERT_EQ(files.openHandles, 0) << cut;
        ASSERT_EQ(files.liveAllocations, 0) << cut;
    }
}

TEST(Cabinet, FailingReadsAndAllocationsAtEveryCallLeakNothing) {
    Bytes cab = WriteCabinet({MakeFolder(CompressionType(1), {40000}, 8), MakeFolder(CompressionType(2, 12), {9000}, 9),
                              MakeFolder(CompressionType(3, 15), {9000}, 10)});
    int reads = 0, allocs = 0;
    {
        // Counts the reads and allocations of one whole extraction.
        MemoryFiles counting;
        counting.Add("c.cab", cab);
        ASSERT_TRUE(ExtractMemory(counting, "", "c.cab").ok);
        reads = counting.reads;
        allocs = counting.allocs;
    }
    for (int n = 1; n <= reads; ++n) {
        MemoryFiles files;
        files.Add("c.cab", cab);
        files.failReadAt = n;
        EXPECT_FALSE(ExtractMemory(files, "", "c.cab").ok) << n;
        EXPECT_EQ(files.openHandles, 0) << n;
        EXPECT_EQ(files.liveAllocations, 0) << n;
    }
    for (int n = 1; n <= allocs; ++n) {
        MemoryFiles files;
        files.Add("c.cab", cab);
        files.failAllocAt = n;
        RunResult result = ExtractMemory(files, "", "c.cab");
        EXPECT_FALSE(result.ok) << n;
        EXPECT_TRUE(result.error.code == cabErrAllocFail || result.error.code == cabErrDecompressor) << n;
        EXPECT_EQ(files.openHandles, 0) << n;
        EXPECT_EQ(files.liveAllocations, 0) << n;
    }
}

TEST(Cabinet, SetsWithBlocksSplitAcrossCabinetsAreFollowedOrRefused) {
    for (std::uint16_t type :
         {CompressionType(0), CompressionType(1), CompressionType(3, 16), CompressionType(2, 16)}) {
        for (bool split : {false, true}) {
            SCOPED_TRACE(std::to_string(type) + (split ? " split" : ""));
            auto folder = MakeFolder(type, {60000, 50000, 70000, 20000}, 11);
            std::vector<std::string> names = {"s1.cab", "s2.cab", "s3.cab"};
            auto parts = WriteCabinetSet(folder, names, split);
            MemoryFiles files;
            for (std::size_t i = 0; i < parts.size(); ++i) files.Add(names[i], parts[i]);
            RunOptions follow;
            follow.followNextCabinet = true;
            RunResult result = ExtractMemory(files, "", "s1.cab", follow);
            ASSERT_TRUE(result.ok) << result.error.code;
            ExpectFiles(result, {folder});
            EXPECT_EQ(result.nextCabinetCalls, 2);

            RunResult refused = ExtractMemory(files, "", "s1.cab");
            EXPECT_EQ(refused.error.code, cabErrUserAbort);
            EXPECT_EQ(files.openHandles, 0);
        }
    }
}

TEST(Cabinet, ANextCabinetWithOtherReserveSizesIsReportedAndAskedForAgain) {
    auto folder = MakeFolder(CompressionType(0), {50000, 50000}, 12);
    auto plain = WriteCabinetSet(folder, {"a.cab", "b.cab"}, false);
    WriterOptions reserved;
    reserved.dataReserve = 4;
    auto other = WriteCabinetSet(folder, {"a.cab", "b.cab"}, false, reserved);
    MemoryFiles files;
    files.Add("a.cab", plain[0]);
    files.Add("b.cab", other[1]);
    RunOptions follow;
    follow.followNextCabinet = true;
    RunResult result = ExtractMemory(files, "", "a.cab", follow);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.nextCabinetErrors.size(), 2u);
    EXPECT_EQ(result.nextCabinetErrors[1], cabErrReserveMismatch);
}

}  // namespace
}  // namespace zel::cabinet::test

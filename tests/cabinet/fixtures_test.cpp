// The real cabinets: every fixture's outcome, multi-cabinet sets, reserve fields, and what the
// damaged files are refused with.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>
#include <map>

#include "tests/cabinet/support/cab_harness.h"
#include "tests/cabinet/support/fixtures.h"
#include "tests/cabinet/support/mspack_oracle.h"
#include "tests/support/temp_dir.h"

namespace zel::cabinet::test {
namespace {

RunResult RunFixture(const std::string& name, const RunOptions& options = {}) {
    return ExtractPath(FixturesDir(), name, options);
}

// The set multi_basic_pt1..5 under the names its cabinets give each other.
void AddBasicSet(MemoryFiles& files, int first = 1) {
    for (int i = first; i <= 5; ++i) {
        std::string part = "multi_basic_pt" + std::to_string(i) + ".cab";
        files.Add("cabd_" + part, ReadBytes<Bytes>(FixturesDir() + part));
    }
}

// The expected result of extracting every file of each fixture (cabErrNone = success).
const std::map<std::string, ECabError> kExpected = {
    {"bad_folderindex.cab", cabErrCorrupt},
    {"bad_nofiles.cab", cabErrNone},
    {"bad_nofolders.cab", cabErrCorrupt},
    {"bad_signature.cab", cabErrNotACabinet},
    {"cve-2010-2800-mszip-infinite-loop.cab", cabErrDecompressor},
    {"cve-2014-9556-qtm-infinite-loop.cab", cabErrCorrupt},
    {"cve-2014-9732-folders-segfault.cab", cabErrBadComprType},
    {"cve-2015-4470-mszip-over-read.cab", cabErrUnknownVersion},
    {"cve-2015-4471-lzx-under-read.cab", cabErrCorrupt},
    {"cve-2017-11423-fname-overread.cab", cabErrCorrupt},
    {"cve-2018-18584-qtm-max-size-block.cab", cabErrDecompressor},
    {"filename-read-violation-1.cab", cabErrNone},
    {"filename-read-violation-2.cab", cabErrCorrupt},
    {"filename-read-violation-3.cab", cabErrCorrupt},
    {"filename-read-violation-4.cab", cabErrCorrupt},
    {"lzx-main-tree-no-lengths.cab", cabErrDecompressor},
    {"lzx-premature-matches.cab", cabErrDecompressor},
    {"mszip_lzx_qtm.cab", cabErrNone},
    {"multi_basic_pt1.cab", cabErrUserAbort},  // its last file goes on in pt2: refused
    {"normal_255c_filename.cab", cabErrNone},
    {"normal_2files_1folder.cab", cabErrNone},
    {"normal_2files_2folders.cab", cabErrNone},
    {"partial_nodata.cab", cabErrCorrupt},
    {"partial_nofiles.cab", cabErrCorrupt},
    {"partial_nofolder.cab", cabErrCorrupt},
    {"partial_shortextheader.cab", cabErrCorrupt},
    {"partial_shortfile1.cab", cabErrCorrupt},
    {"partial_shortfile2.cab", cabErrCorrupt},
    {"partial_shortfolder.cab", cabErrCorrupt},
    {"partial_shortheader.cab", cabErrNotACabinet},
    {"partial_str_nofname.cab", cabErrCorrupt},
    {"partial_str_noninfo.cab", cabErrCorrupt},
    {"partial_str_nonname.cab", cabErrCorrupt},
    {"partial_str_nopinfo.cab", cabErrCorrupt},
    {"partial_str_nopname.cab", cabErrCorrupt},
    {"partial_str_shortfname.cab", cabErrCorrupt},
    {"partial_str_shortninfo.cab", cabErrCorrupt},
    {"partial_str_shortnname.cab", cabErrCorrupt},
    {"partial_str_shortpinfo.cab", cabErrCorrupt},
    {"partial_str_shortpname.cab", cabErrCorrupt},
    {"reserve_---.cab", cabErrNone},
    {"reserve_--D.cab", cabErrNone},
    {"reserve_-F-.cab", cabErrNone},
    {"reserve_-FD.cab", cabErrNone},
    {"reserve_H--.cab", cabErrNone},
    {"reserve_H-D.cab", cabErrNone},
    {"reserve_HF-.cab", cabErrNone},
    {"reserve_HFD.cab", cabErrNone},
    {"search_basic.cab", cabErrNotACabinet},  // a cabinet inside other bytes: not at the start
    {"search_tricky1.cab", cabErrUnknownVersion},
};

TEST(CabFixtures, EachRealCabinetGivesItsExpectedResult) {
    for (const auto& [name, expected] : kExpected) {
        SCOPED_TRACE(name);
        RunResult result = RunFixture(name);
        EXPECT_EQ(result.ok, expected == cabErrNone);
        EXPECT_EQ(result.error.code, expected);
        EXPECT_EQ(result.error.errorFlag, expected == cabErrNone ? 0 : 1);
    }
}

TEST(CabFixtures, ThreeFoldersWithMszipLzxAndQuantumMatchLibmspack) {
    RunResult ours = RunFixture("mszip_lzx_qtm.cab");
    ASSERT_TRUE(ours.ok);
    ASSERT_EQ(ours.files.size(), 3u);
    OracleResult theirs = MspackExtract(ReadBytes<Bytes>(FixturesDir() + "mszip_lzx_qtm.cab"));
    ASSERT_TRUE(theirs.AllOk());
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ours.files[i].name, theirs.files[i].name);
        EXPECT_EQ(ours.files[i].data, theirs.files[i].data);
        EXPECT_FALSE(ours.files[i].data.empty());
    }
}

TEST(CabFixtures, ReserveFieldsOfEveryKindGiveTheSameFiles) {
    RunResult plain = RunFixture("reserve_---.cab");
    ASSERT_TRUE(plain.ok);
    for (const char* name : {"reserve_--D.cab", "reserve_-F-.cab", "reserve_-FD.cab", "reserve_H--.cab",
                             "reserve_H-D.cab", "reserve_HF-.cab", "reserve_HFD.cab"}) {
        SCOPED_TRACE(name);
        RunResult result = RunFixture(name);
        ASSERT_TRUE(result.ok);
        ASSERT_EQ(result.files.size(), plain.files.size());
        for (std::size_t i = 0; i < plain.files.size(); ++i) EXPECT_EQ(result.files[i].data, plain.files[i].data);
    }
}

TEST(CabFixtures, SetIsFollowedAcrossAllFiveCabinetsWhenTheCallbackAllows) {
    MemoryFiles files;
    AddBasicSet(files);
    RunOptions follow;
    follow.followNextCabinet = true;
    RunResult result = ExtractMemory(files, "", "cabd_multi_basic_pt1.cab", follow);
    ASSERT_TRUE(result.ok) << result.error.code;
    EXPECT_EQ(result.nextCabinetCalls, 4);

    // cabextract, given the same set under the same names, is the reference.
    zel::testing::TempDir temp;
    const std::filesystem::path& dir = temp.path();
    std::filesystem::create_directories(dir / "out");
    for (const auto& [path, bytes] : files.files) {
        if (path.rfind("cabd_", 0) == 0) std::filesystem::copy_file(FixturesDir() + path.substr(5), dir / path);
    }
    std::string command = "cd '" + dir.string() + "' && cabextract -q -d out cabd_multi_basic_pt1.cab >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::size_t compared = 0;
    for (const auto& file : result.files) {
        SCOPED_TRACE(file.name);
        EXPECT_TRUE(file.complete);
        EXPECT_EQ(file.data, ReadBytes<Bytes>((dir / "out" / file.name).string()));
        ++compared;
    }
    EXPECT_EQ(compared, std::size_t(std::distance(std::filesystem::directory_iterator(dir / "out"), {})));
    EXPECT_EQ(files.openHandles, 0);
}

TEST(CabFixtures, RefusingTheNextCabinetEndsTheRunAtTheSpanningFile) {
    MemoryFiles files;
    AddBasicSet(files);
    RunResult result = ExtractMemory(files, "", "cabd_multi_basic_pt1.cab");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, cabErrUserAbort);
    EXPECT_EQ(result.nextCabinetCalls, 1);
    // test1.txt is the file that goes on into pt2; nothing after it is offered.
    ASSERT_EQ(result.offered.size(), 1u);
    EXPECT_EQ(result.offered.back(), "test1.txt");
    EXPECT_EQ(files.openHandles, 0);
}

TEST(CabFixtures, FilesContinuedFromAPreviousCabinetAreReportedAsPartial) {
    RunResult result = RunFixture("multi_basic_pt2.cab");
    EXPECT_FALSE(result.partial.empty());
}

TEST(CabFixtures, MissingNextCabinetIsAskedForAgainWithTheErrorThenRefused) {
    // The set's second part is absent from this directory: copy pt1 alone elsewhere.
    MemoryFiles files;
    files.Add("dir/multi_basic_pt1.cab", ReadBytes<Bytes>(FixturesDir() + "multi_basic_pt1.cab"));
    RunOptions follow;
    follow.followNextCabinet = true;
    RunResult result = ExtractMemory(files, "dir/", "multi_basic_pt1.cab", follow);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, cabErrUserAbort);
    EXPECT_EQ(result.nextCabinetCalls, 2);
    EXPECT_EQ(files.openHandles, 0);
    EXPECT_EQ(files.liveAllocations, 0);
}

TEST(CabFixtures, WrongCabinetInTheSetIsRefused) {
    MemoryFiles files;
    files.Add("cabd_multi_basic_pt1.cab", ReadBytes<Bytes>(FixturesDir() + "multi_basic_pt1.cab"));
    // pt3 put where pt2 should be: another index.
    files.Add("cabd_multi_basic_pt2.cab", ReadBytes<Bytes>(FixturesDir() + "multi_basic_pt3.cab"));
    RunOptions follow;
    follow.followNextCabinet = true;
    RunResult result = ExtractMemory(files, "", "cabd_multi_basic_pt1.cab", follow);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.nextCabinetCalls, 2);
}

}  // namespace
}  // namespace zel::cabinet::test

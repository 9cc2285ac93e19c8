// The library on real archives: every sample lists and extracts to exactly its expected files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/acelib/zelace.h"
#include "tests/ace/ace_test_util.h"

namespace zel::ace::test {
namespace {

namespace fs = std::filesystem;

struct Listed {
    std::string name;
    std::uint32_t attributes = 0;
    std::uint16_t flags = 0;
};

struct Listing {
    std::vector<Listed> entries;
    int end = -1;  // the result that ended the header loop
};

void* OpenArchive(const fs::path& path, std::uint32_t mode, int* result = nullptr) {
    std::string name = path.string();
    ZelAceOpenRecord record{};
    record.ArchiveName = name.c_str();
    record.OpenMode = mode;
    void* handle = ZelAceOpen(&record);
    if (result) *result = static_cast<int>(record.OpenResult);
    return handle;
}

Listing List(const fs::path& path) {
    Listing listing;
    void* handle = OpenArchive(path, ZELACE_OPEN_LIST);
    if (handle == nullptr) return listing;
    ZelAceHeaderRecord header{};
    int rc;
    while ((rc = ZelAceReadHeader(handle, &header)) == ZELACE_SUCCESS) {
        listing.entries.push_back({header.FileName, header.FileAttr, header.HeaderFlags});
        if (ZelAceProcess(handle, ZELACE_SKIP, nullptr) != ZELACE_SUCCESS) break;
    }
    listing.end = rc;
    ZelAceClose(handle);
    return listing;
}

std::string Slashes(std::string name) {
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

// Extracts every entry below `root`; returns the result of each entry's ZelAceProcess by name.
std::map<std::string, int> ExtractAll(const fs::path& archive, const fs::path& root, int* end = nullptr) {
    std::map<std::string, int> results;
    void* handle = OpenArchive(archive, ZELACE_OPEN_EXTRACT);
    if (handle == nullptr) return results;
    ZelAceHeaderRecord header{};
    int rc;
    while ((rc = ZelAceReadHeader(handle, &header)) == ZELACE_SUCCESS) {
        std::string name = Slashes(header.FileName);
        fs::path destination = root / name;
        if (header.FileAttr & 0x10) {
            fs::create_directories(destination);
        } else {
            fs::create_directories(destination.parent_path());
        }
        results[name] = ZelAceProcess(handle, ZELACE_EXTRACT, destination.string().c_str());
    }
    if (end) *end = rc;
    ZelAceClose(handle);
    return results;
}

struct Sample {
    const char* archive;
    const char* md5;
    const char* dirs;  // "" when the sample has no folder list
};

class SampleTest : public ::testing::TestWithParam<Sample> {};

TEST_P(SampleTest, ExtractsExactlyTheExpectedFiles) {
    const Sample& sample = GetParam();
    auto expected = ReadMd5List(SamplesDir() / sample.md5);
    ASSERT_FALSE(expected.empty());
    TempDir out;
    int end = -1;
    auto results = ExtractAll(SamplesDir() / sample.archive, out.path(), &end);
    EXPECT_EQ(end, ZELACE_END_ARCHIVE);
    for (const auto& [name, rc] : results) EXPECT_EQ(rc, ZELACE_SUCCESS) << name;
    EXPECT_EQ(FilesUnder(out.path()).size(), expected.size());
    for (const auto& [name, md5] : expected) {
        fs::path file = out.path() / name;
        ASSERT_TRUE(fs::exists(file)) << name;
        EXPECT_EQ(Md5Hex(ReadBytes<Bytes>(file)), md5) << name;
    }
}

TEST_P(SampleTest, ListsEveryFileAndFolder) {
    const Sample& sample = GetParam();
    auto expected = ReadMd5List(SamplesDir() / sample.md5);
    auto dirs = sample.dirs[0] ? ReadDirList(SamplesDir() / sample.dirs) : std::set<std::string>{};
    Listing listing = List(SamplesDir() / sample.archive);
    EXPECT_EQ(listing.end, ZELACE_END_ARCHIVE);
    std::set<std::string> files, folders;
    for (const auto& entry : listing.entries) {
        (entry.attributes & 0x10 ? folders : files).insert(Slashes(entry.name));
    }
    std::set<std::string> expectedFiles;
    for (const auto& item : expected) expectedFiles.insert(item.first);
    EXPECT_EQ(files, expectedFiles);
    for (const auto& folder : folders) EXPECT_TRUE(dirs.count(folder)) << folder;
}

INSTANTIATE_TEST_SUITE_P(
    RealArchives, SampleTest,
    ::testing::Values(
        Sample{"wummel-patool_t.ace", "wummel-patool_t.md5", "wummel-patool_t.dirs"},
        Sample{"hatching-sflock_ace_plain.ace", "hatching-sflock_ace_plain.md5", ""},
        Sample{"hatching-sflock_ace_nested.ace", "hatching-sflock_ace_nested.md5", "hatching-sflock_ace_nested.dirs"},
        Sample{"hatching-sflock_ace_nested2.ace", "hatching-sflock_ace_nested2.md5",
               "hatching-sflock_ace_nested2.dirs"},
        Sample{"sourcekris-uniextract_maketests-ace.ace", "sourcekris-uniextract_maketests-ace.md5", ""},
        Sample{"wdlkmpx-unace_v1_ALCHT.ACE", "wdlkmpx-unace_v1_ALCHT.md5", ""},
        Sample{"wdlkmpx-unace_v1_onefile.ace", "wdlkmpx-unace_v1_onefile.md5", ""},
        Sample{"wdlkmpx-unace_v1_ZGFX2.ace", "wdlkmpx-unace_v1_ZGFX2.md5", "wdlkmpx-unace_v1_ZGFX2.dirs"},
        Sample{"wdlkmpx-unace_v1_zdir.ace", "wdlkmpx-unace_v1_zdir.md5", "wdlkmpx-unace_v1_zdir.dirs"},
        Sample{"wdlkmpx-unace_v1_multivolume.ace", "wdlkmpx-unace_v1_multivolume.md5",
               "wdlkmpx-unace_v1_multivolume.dirs"},
        Sample{"wdlkmpx-unace_v2_dir2.ace", "wdlkmpx-unace_v2_dir2.md5", "wdlkmpx-unace_v2_dir2.dirs"},
        Sample{"wdlkmpx-unace_v2_multivol2.ace", "wdlkmpx-unace_v2_multivol2.md5", "wdlkmpx-unace_v2_multivol2.dirs"}));

TEST(EncryptedSampleTest, ListsButRefusesToExtract) {
    for (const char* name : {"wdlkmpx-unace_v1_passwd.ace", "wdlkmpx-unace_v2_passwd2.ace"}) {
        Listing listing = List(SamplesDir() / name);
        ASSERT_EQ(listing.end, ZELACE_END_ARCHIVE) << name;
        ASSERT_EQ(listing.entries.size(), 1u) << name;
        EXPECT_TRUE(listing.entries[0].flags & 0x4000) << name;
        TempDir out;
        auto results = ExtractAll(SamplesDir() / name, out.path());
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results.begin()->second, ZELACE_ERROR_ENCRYPTED) << name;
        EXPECT_TRUE(FilesUnder(out.path()).empty()) << name;
    }
}

TEST(HostileSampleTest, NamesAreReportedAsStoredForTheCallerToJudge) {
    Listing first = List(SamplesDir() / "wdlkmpx-unace_v1_dirtraversal1.ace");
    ASSERT_EQ(first.end, ZELACE_END_ARCHIVE);  // the one trailing byte is tolerated
    ASSERT_EQ(first.entries.size(), 1u);
    EXPECT_EQ(first.entries[0].name, "..\\..\\..\\..\\..\\..\\..\\tmp\\unace-dir-traversal");
    Listing second = List(SamplesDir() / "wdlkmpx-unace_v1_dirtraversal2.ace");
    ASSERT_EQ(second.entries.size(), 1u);
    EXPECT_EQ(second.entries[0].name, "\\tmp\\unace-dir-traversal");
}

TEST(HostileSampleTest, OutOfBoundsCommentIsAHeaderError) {
    Listing listing = List(SamplesDir() / "wdlkmpx-unace_v1_out_of_bounds.ace");
    EXPECT_TRUE(listing.entries.empty());
    EXPECT_NE(listing.end, ZELACE_SUCCESS);
    EXPECT_NE(listing.end, ZELACE_END_ARCHIVE);
}

TEST(VolumeTest, MissingVolumeFailsTheEntryThatNeedsIt) {
    TempDir dir;
    fs::copy_file(SamplesDir() / "wdlkmpx-unace_v2_multivol2.ace", dir.path() / "set.ace");
    auto results = ExtractAll(dir.path() / "set.ace", dir.path() / "out");
    int failed = 0;
    for (const auto& [name, rc] : results) {
        if (rc != ZELACE_SUCCESS) {
            EXPECT_EQ(rc, ZELACE_ERROR_VOLUME) << name;
            ++failed;
        }
    }
    EXPECT_EQ(failed, 1);
    EXPECT_FALSE(results.empty());
}

TEST(ApiTest, RejectsBadArgumentsAndSequence) {
    int result = 0;
    EXPECT_EQ(OpenArchive(SamplesDir() / "no-such-file.ace", ZELACE_OPEN_LIST, &result), nullptr);
    EXPECT_EQ(result, ZELACE_ERROR_OPEN);
    EXPECT_EQ(OpenArchive(SamplesDir() / "README.md", ZELACE_OPEN_LIST, &result), nullptr);
    EXPECT_EQ(result, ZELACE_ERROR_FORMAT);
    EXPECT_EQ(OpenArchive(SamplesDir() / "wummel-patool_t.ace", 7, &result), nullptr);
    EXPECT_EQ(result, ZELACE_ERROR_PARAMETER);
    EXPECT_EQ(ZelAceOpen(nullptr), nullptr);

    void* handle = OpenArchive(SamplesDir() / "wummel-patool_t.ace", ZELACE_OPEN_LIST);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(ZelAceProcess(handle, ZELACE_SKIP, nullptr), ZELACE_ERROR_PARAMETER);  // no header yet
    ZelAceHeaderRecord header{};
    ASSERT_EQ(ZelAceReadHeader(handle, &header), ZELACE_SUCCESS);
    EXPECT_EQ(ZelAceProcess(handle, 5, nullptr), ZELACE_ERROR_PARAMETER);
    EXPECT_EQ(ZelAceProcess(handle, ZELACE_SKIP, nullptr), ZELACE_ERROR_PARAMETER);  // already handled
    while (ZelAceReadHeader(handle, &header) == ZELACE_SUCCESS) {
    }
    EXPECT_EQ(ZelAceReadHeader(handle, &header), ZELACE_END_ARCHIVE);
    EXPECT_EQ(ZelAceClose(handle), ZELACE_SUCCESS);
}

}  // namespace
}  // namespace zel::ace::test

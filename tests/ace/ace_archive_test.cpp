// The ACE back-end of Arcopen over the real samples and over archives from the test writer:
// listing, extraction through the library, folders, damaged archives and the factory's branch.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/ace/ace_archive.h"
#include "archive/acelib/zelace.h"
#include "tests/ace/ace_test_util.h"
#include "tests/ace/ace_writer.h"
#include "tests/archive/reader_walk.h"

namespace zel::ace::test {
namespace {

namespace fs = std::filesystem;

using zel::test::ErrorOf;
using zel::test::ListNames;

std::string Slashes(std::string name) {
    for (char& c : name) {
        if (c == '\\') c = '/';
    }
    return name;
}

// An extraction pass below `root` the way a caller does it: folders are passed with their
// trailing separator, files into folders made beforehand. Returns the failed entries' names.
std::vector<std::string> ExtractAll(CQVArchive& reader, const fs::path& root) {
    std::vector<std::string> failed;
    reader.ExtractFirst();
    try {
        for (;;) {
            std::string name = reader.GetExtractName();
            // Damaged names could point anywhere: those are passed over, as a careful caller does.
            if (name.empty() || name[0] == '\\' || name.find("..") != std::string::npos ||
                name.find(':') != std::string::npos) {
                reader.Extract("", 1);
                reader.ExtractNext();
                continue;
            }
            std::string destination = (root / Slashes(name)).string();
            if (name.back() != '\\') fs::create_directories(fs::path(destination).parent_path());
            if (ErrorOf([&] { reader.Extract(destination, 0); }) != -1) failed.push_back(name);
            reader.ExtractNext();
        }
    } catch (const CQVArchiveException& end) {
        EXPECT_EQ(end.GetError(), CQVArchiveException::eEndOfArchive);
    }
    return failed;
}

fs::path Sample(const std::string& name) { return SamplesDir() / name; }

// The offsets of the blocks of an archive that starts at offset 0.
std::vector<std::size_t> BlockOffsets(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::size_t> offsets;
    std::size_t at = 0;
    while (at + 7 <= bytes.size()) {
        offsets.push_back(at);
        std::size_t size = bytes[at + 2] | bytes[at + 3] << 8;
        std::uint16_t flags = static_cast<std::uint16_t>(bytes[at + 5] | bytes[at + 6] << 8);
        std::size_t next = at + 4 + size;
        if (flags & 1) {
            next += bytes[at + 7] | bytes[at + 8] << 8 | bytes[at + 9] << 16 | std::size_t{bytes[at + 10]} << 24;
        }
        at = next;
    }
    return offsets;
}

struct SampleCase {
    const char* archive;
    const char* md5;
    const char* dirs;
};

const SampleCase kSamples[] = {
    {"wummel-patool_t.ace", "wummel-patool_t.md5", "wummel-patool_t.dirs"},
    {"hatching-sflock_ace_plain.ace", "hatching-sflock_ace_plain.md5", ""},
    {"hatching-sflock_ace_nested.ace", "hatching-sflock_ace_nested.md5", "hatching-sflock_ace_nested.dirs"},
    {"hatching-sflock_ace_nested2.ace", "hatching-sflock_ace_nested2.md5", "hatching-sflock_ace_nested2.dirs"},
    {"sourcekris-uniextract_maketests-ace.ace", "sourcekris-uniextract_maketests-ace.md5", ""},
    {"wdlkmpx-unace_v1_ALCHT.ACE", "wdlkmpx-unace_v1_ALCHT.md5", ""},  // comments, AV byte
    {"wdlkmpx-unace_v1_onefile.ace", "wdlkmpx-unace_v1_onefile.md5", ""},
    {"wdlkmpx-unace_v1_ZGFX2.ace", "wdlkmpx-unace_v1_ZGFX2.md5", "wdlkmpx-unace_v1_ZGFX2.dirs"},
    {"wdlkmpx-unace_v1_zdir.ace", "wdlkmpx-unace_v1_zdir.md5", "wdlkmpx-unace_v1_zdir.dirs"},
    {"wdlkmpx-unace_v1_multivolume.ace", "wdlkmpx-unace_v1_multivolume.md5", "wdlkmpx-unace_v1_multivolume.dirs"},
    {"wdlkmpx-unace_v2_dir2.ace", "wdlkmpx-unace_v2_dir2.md5", "wdlkmpx-unace_v2_dir2.dirs"},
    {"wdlkmpx-unace_v2_multivol2.ace", "wdlkmpx-unace_v2_multivol2.md5", "wdlkmpx-unace_v2_multivol2.dirs"},
};

TEST(AceArchiveTest, EverySampleListsAndExtractsExactlyItsFiles) {
    for (const auto& sample : kSamples) {
        SCOPED_TRACE(sample.archive);
        auto expected = ReadMd5List(Sample(sample.md5));
        auto dirs = sample.dirs[0] ? ReadDirList(Sample(sample.dirs)) : std::set<std::string>{};
        CQVAceArchive reader;
        EXPECT_EQ(reader.GetType(), "ace");
        ASSERT_EQ(reader.Open(Sample(sample.archive).c_str()), 1);
        std::set<std::string> files;
        for (const auto& name : ListNames(reader)) {
            if (name.back() == '\\') {
                EXPECT_TRUE(dirs.count(Slashes(name.substr(0, name.size() - 1)))) << name;
            } else {
                files.insert(Slashes(name));
            }
        }
        std::set<std::string> expectedFiles;
        for (const auto& item : expected) expectedFiles.insert(item.first);
        EXPECT_EQ(files, expectedFiles);

        TempDir out;
        EXPECT_TRUE(ExtractAll(reader, out.path()).empty());
        EXPECT_EQ(FilesUnder(out.path()), expectedFiles);
        for (const auto& [name, md5] : expected) EXPECT_EQ(Md5Hex(ReadBytes<Bytes>(out.path() / name)), md5) << name;
        for (const auto& dir : dirs) EXPECT_TRUE(fs::is_directory(out.path() / dir)) << dir;
        reader.Close();
        reader.Close();
    }
}

TEST(AceArchiveTest, SkippedEntriesOfASolidArchiveStillFeedTheWindow) {
    // In ZGFX2 every entry after the first needs the window of those before it.
    auto expected = ReadMd5List(Sample("wdlkmpx-unace_v1_ZGFX2.md5"));
    CQVAceArchive reader;
    ASSERT_EQ(reader.Open(Sample("wdlkmpx-unace_v1_ZGFX2.ace").c_str()), 1);
    auto names = ListNames(reader);
    TempDir out;
    reader.ExtractFirst();
    std::string last;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        EXPECT_EQ(reader.GetExtractName(), names[i]);
        // Every third entry is passed over by asking for the next name without Extract.
        if (i % 3 != 0) reader.Extract("", 1);
    }
    last = reader.GetExtractName();
    ASSERT_EQ(last, names.back());
    ASSERT_FALSE(last.back() == '\\');
    reader.Extract((out.path() / "last").string(), 0);
    EXPECT_EQ(Md5Hex(ReadBytes<Bytes>(out.path() / "last")), expected.at(Slashes(last)));
    EXPECT_EQ(ErrorOf([&] { reader.GetExtractName(); }), CQVArchiveException::eEndOfArchive);
}

// Regression: an entry whose output file could not be made was passed over without unpacking,
// so in a solid archive every later entry failed its CRC.
TEST(AceArchiveTest, FailedOutputInASolidArchiveKeepsLaterEntriesIntact) {
    auto expected = ReadMd5List(Sample("wdlkmpx-unace_v1_ZGFX2.md5"));
    CQVAceArchive reader;
    ASSERT_EQ(reader.Open(Sample("wdlkmpx-unace_v1_ZGFX2.ace").c_str()), 1);
    TempDir out;
    reader.ExtractFirst();
    int failed = 0, checked = 0;
    try {
        for (;;) {
            std::string name = reader.GetExtractName();
            if (name.back() == '\\') {
                reader.Extract("", 1);
                continue;
            }
            if (failed < 20 && checked >= 3 * failed) {
                // Every fourth of the first 80 files goes to a folder that does not exist.
                EXPECT_EQ(ErrorOf([&] { reader.Extract((out.path() / "none" / "x").string(), 0); }),
                          CQVArchiveException::eArchiveFailure);
                ++failed;
                continue;
            }
            reader.Extract((out.path() / "f").string(), 0);
            EXPECT_EQ(Md5Hex(ReadBytes<Bytes>(out.path() / "f")), expected.at(Slashes(name))) << name;
            ++checked;
        }
    } catch (const CQVArchiveException& end) {
        EXPECT_EQ(end.GetError(), CQVArchiveException::eEndOfArchive);
    }
    EXPECT_EQ(checked + failed, static_cast<int>(expected.size()));
}

TEST(AceArchiveTest, NamesFoldersAndEmptyFilesFromTheWriter) {
    ArchiveLayout layout;
    EntrySpec folder;
    folder.name = "dir";
    folder.attributes = 0x10;
    EntrySpec dos;
    dos.name =
        "dir\\\x81"
        "ber \x9B.txt";  // CP437: u with diaeresis, cent sign
    dos.method = 1;
    dos.data = SampleBytes(2000, 1);
    EntrySpec empty;
    empty.name = "empty.txt";
    layout.entries = {folder, dos, empty};
    TempDir dir;
    fs::path path = dir.path() / "names.ace";
    WriteFileBytes(path, BuildArchive(layout));

    CQVAceArchive reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);
    EXPECT_EQ(ListNames(reader), (std::vector<std::string>{"dir\\",
                                                           "dir\\\xC3\xBC"
                                                           "ber \xC2\xA2.txt",
                                                           "empty.txt"}));
    reader.ExtractFirst();
    EXPECT_EQ(reader.GetExtractName(), "dir\\");
    // A folder's destination ends in a separator: the folder is made, nothing else is written.
    reader.Extract((dir.path() / "out").string() + "\\", 0);
    EXPECT_TRUE(fs::is_directory(dir.path() / "out"));
    reader.GetExtractName();
    reader.Extract((dir.path() / "out" / "u.txt").string(), 0);
    EXPECT_TRUE(ReadBytes<Bytes>(dir.path() / "out" / "u.txt") == dos.data);
    reader.GetExtractName();
    reader.Extract((dir.path() / "out" / "empty.txt").string(), 0);
    EXPECT_TRUE(fs::exists(dir.path() / "out" / "empty.txt"));
    EXPECT_EQ(fs::file_size(dir.path() / "out" / "empty.txt"), 0u);
    EXPECT_EQ(ErrorOf([&] { reader.GetExtractName(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.Extract((dir.path() / "x").string(), 0); }), CQVArchiveException::eArchiveFailure);
}

TEST(AceArchiveTest, DamagedHeaderAfterGoodOnesFailsOpen) {
    auto bytes = ReadBytes<Bytes>(Sample("wdlkmpx-unace_v1_zdir.ace"));
    auto blocks = BlockOffsets(bytes);
    ASSERT_GT(blocks.size(), 4u);
    TempDir dir;
    fs::path path = dir.path() / "damaged.ace";
    auto damaged = bytes;
    damaged[blocks[3] + 30] ^= 0x01;  // inside the third file header: its CRC no longer holds
    WriteFileBytes(path, damaged);
    CQVAceArchive reader;
    EXPECT_EQ(reader.Open(path.c_str()), 0);
    // The archive cut inside an entry's data fails too: it never reaches its normal end.
    WriteFileBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + blocks[4] - 10));
    EXPECT_EQ(reader.Open(path.c_str()), 0);
    reader.Close();
}

TEST(AceArchiveTest, CorruptDataFailsTheEntryAndLeavesNoFile) {
    auto bytes = ReadBytes<Bytes>(Sample("wdlkmpx-unace_v1_onefile.ace"));
    bytes[bytes.size() - 2000] ^= 0x10;
    TempDir dir;
    fs::path path = dir.path() / "bad.ace";
    WriteFileBytes(path, bytes);
    CQVAceArchive reader;
    ASSERT_EQ(reader.Open(path.c_str()), 1);  // the headers are intact
    auto failed = ExtractAll(reader, dir.path() / "out");
    EXPECT_EQ(failed.size(), 1u);
    EXPECT_TRUE(FilesUnder(dir.path() / "out").empty());
}

TEST(AceArchiveTest, EncryptedEntriesListButFailToExtract) {
    for (const char* name : {"wdlkmpx-unace_v1_passwd.ace", "wdlkmpx-unace_v2_passwd2.ace"}) {
        CQVAceArchive reader;
        ASSERT_EQ(reader.Open(Sample(name).c_str()), 1) << name;
        EXPECT_EQ(ListNames(reader).size(), 1u);
        TempDir out;
        EXPECT_EQ(ExtractAll(reader, out.path()).size(), 1u) << name;
        EXPECT_TRUE(FilesUnder(out.path()).empty()) << name;
    }
}

TEST(AceArchiveTest, MissingVolumeFailsOnlyTheSplitEntry) {
    TempDir dir;
    fs::copy_file(Sample("wdlkmpx-unace_v1_multivolume.ace"), dir.path() / "set.ace");
    fs::copy_file(Sample("wdlkmpx-unace_v1_multivolume.c00"), dir.path() / "set.c00");
    CQVAceArchive reader;
    ASSERT_EQ(reader.Open((dir.path() / "set.ace").c_str()), 1);  // the names up to the gap
    auto names = ListNames(reader);
    EXPECT_LT(names.size(), ReadMd5List(Sample("wdlkmpx-unace_v1_multivolume.md5")).size());
    auto failed = ExtractAll(reader, dir.path() / "out");
    EXPECT_EQ(failed.size(), 1u);
    std::size_t files = 0;
    for (const auto& name : names) files += name.back() != '\\';
    EXPECT_EQ(FilesUnder(dir.path() / "out").size() + 1, files);
}

TEST(AceArchiveTest, NonSolidEntriesStopAtTheLimitAndNoFifoIsEverReplaced) {
    TempDir dir;
    const auto big = SampleBytes(3 << 20, 5), small = SampleBytes(3000, 6);
    ArchiveLayout layout;
    layout.entries.resize(2);
    layout.entries[0].name = "big.bin";
    layout.entries[0].data = big;
    layout.entries[0].method = 1;
    layout.entries[1].name = "small.bin";
    layout.entries[1].data = small;
    layout.entries[1].method = 2;
    WriteFileBytes(dir.path() / "t.ace", BuildArchive(layout));
    CQVAceArchive reader;
    ASSERT_EQ(reader.Open((dir.path() / "t.ace").c_str()), 1);
    reader.SetExtractLimit(1000);
    EXPECT_TRUE(ExtractAll(reader, dir.path() / "out").empty());
    EXPECT_EQ(ReadBytes<Bytes>(dir.path() / "out/big.bin"), std::vector<std::uint8_t>(big.begin(), big.begin() + 1000));
    EXPECT_EQ(ReadBytes<Bytes>(dir.path() / "out/small.bin"),
              std::vector<std::uint8_t>(small.begin(), small.begin() + 1000));

    // The library's own extraction to a file refuses a destination that is no regular file.
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    std::string archive = (dir.path() / "t.ace").string();
    ZelAceOpenRecord open{};
    open.ArchiveName = archive.c_str();
    open.OpenMode = ZELACE_OPEN_EXTRACT;
    void* handle = ZelAceOpen(&open);
    ASSERT_NE(handle, nullptr);
    ZelAceHeaderRecord header{};
    ASSERT_EQ(ZelAceReadHeader(handle, &header), ZELACE_SUCCESS);
    EXPECT_EQ(ZelAceProcess(handle, ZELACE_EXTRACT, (dir.path() / "fifo").c_str()), ZELACE_ERROR_WRITE);
    ZelAceClose(handle);
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));
}

TEST(AceArchiveTest, CallsOutOfOrderAreRefused) {
    CQVAceArchive reader;
    EXPECT_EQ(reader.Open(Sample("README.md").c_str()), 0);
    EXPECT_EQ(reader.Open(Sample("no-such.ace").c_str()), 0);
    EXPECT_EQ(reader.Open(nullptr), 0);
    EXPECT_EQ(ErrorOf([&] { reader.ExtractFirst(); }), CQVArchiveException::eArchiveFailure);
    EXPECT_EQ(ErrorOf([&] { reader.GetExtractName(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.Extract("x", 0); }), CQVArchiveException::eArchiveFailure);
    ASSERT_EQ(reader.Open(Sample("wummel-patool_t.ace").c_str()), 1);
    EXPECT_EQ(ErrorOf([&] { reader.GetExtractName(); }), CQVArchiveException::eEndOfArchive);  // not reopened
    reader.MoveFirst();
    EXPECT_NO_THROW(reader.GetName());
    reader.MoveNext();  // a folder and a file
    EXPECT_EQ(ErrorOf([&] { reader.MoveNext(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.MoveNext(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.GetName(); }), CQVArchiveException::eEndOfArchive);
}

std::string TypeOf(const fs::path& path) {
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    return reader ? std::string(reader->GetType()) : "null";
}

TEST(AceArchiveTest, FactoryKnowsAceByExtensionInAnyCaseAndByContent) {
    TempDir dir;
    fs::copy_file(Sample("wummel-patool_t.ace"), dir.path() / "t.ace");
    fs::copy_file(Sample("wummel-patool_t.ace"), dir.path() / "t.ACE");
    fs::copy_file(Sample("wummel-patool_t.ace"), dir.path() / "t.bin");
    EXPECT_EQ(TypeOf(dir.path() / "t.ace"), "ace");
    EXPECT_EQ(TypeOf(dir.path() / "t.ACE"), "ace");
    EXPECT_EQ(TypeOf(dir.path() / "t.bin"), "ace");
    // Named .ace but no ACE archive: a reader is made, and its Open refuses the file.
    WriteFileBytes(dir.path() / "fake.ace", {'n', 'o', 't', ' ', 'a', 'c', 'e'});
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker((dir.path() / "fake.ace").c_str()));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Open((dir.path() / "fake.ace").c_str()), 0);
    // The object made for a real archive has nothing open and works through its interface.
    std::unique_ptr<CQVArchive> ace(CQVArchiveEngine::CreateUnpacker((dir.path() / "t.ace").c_str()));
    EXPECT_EQ(ErrorOf([&] { ace->GetName(); }), CQVArchiveException::eEndOfArchive);
    ASSERT_EQ(ace->Open((dir.path() / "t.ace").c_str()), 1);
    EXPECT_EQ(ListNames(*ace).size(), 2u);
}

// Truncations and single-byte changes of the real samples never crash or hang. Every sample is
// changed at about 100 evenly spread offsets (the fuzz targets cover the rest); the library lists
// it, then unpacks and checks every entry without writing it.
TEST(AceArchiveTest, DamagedSamplesNeverCrashOrHang) {
    TempDir dir;
    std::string path = (dir.path() / "d.ace").string();
    for (const auto& sample : kSamples) {
        SCOPED_TRACE(sample.archive);
        auto bytes = ReadBytes<Bytes>(Sample(sample.archive));
        std::size_t step = bytes.size() / 100 + 1;
        for (std::size_t at = 0; at < bytes.size(); at += step) {
            for (int variant = 0; variant < 2; ++variant) {
                auto damaged = bytes;
                if (variant == 0) {
                    damaged.resize(at);
                } else {
                    damaged[at] ^= static_cast<std::uint8_t>(0x01 << (at % 8));
                }
                WriteFileBytes(path, damaged);
                CQVAceArchive reader;
                if (reader.Open(path.c_str())) ListNames(reader);
                ZelAceOpenRecord open{};
                open.ArchiveName = path.c_str();
                open.OpenMode = ZELACE_OPEN_EXTRACT;
                void* handle = ZelAceOpen(&open);
                if (handle == nullptr) continue;
                ZelAceHeaderRecord header{};
                while (ZelAceReadHeader(handle, &header) == ZELACE_SUCCESS) ZelAceProcess(handle, ZELACE_TEST, nullptr);
                ZelAceClose(handle);
            }
        }
    }
}

// Small damaged samples extracted to disk at every offset: whatever the damage, the files land
// where the caller said, and nothing is left beside them (no temporary files).
TEST(AceArchiveTest, DamagedSmallSamplesWriteOnlyWhereTold) {
    TempDir dir;
    fs::path path = dir.path() / "d.ace";
    fs::path out = dir.path() / "out";
    for (const char* name : {"wummel-patool_t.ace", "hatching-sflock_ace_nested2.ace", "wdlkmpx-unace_v1_ALCHT.ACE"}) {
        SCOPED_TRACE(name);
        auto bytes = ReadBytes<Bytes>(Sample(name));
        for (std::size_t at = 0; at < bytes.size(); ++at) {
            auto damaged = bytes;
            damaged[at] ^= 0x20;
            WriteFileBytes(path, damaged);
            fs::create_directory(out);
            CQVAceArchive reader;
            reader.Open(path.c_str());  // the listing may fail; extraction is tried all the same
            try {
                reader.ExtractFirst();  // fails when the archive cannot be opened at all
            } catch (const CQVArchiveException&) {
                continue;
            }
            try {
                for (int i = 0;; ++i) {
                    std::string entry = reader.GetExtractName();
                    std::string target = (out / ("f" + std::to_string(i))).string();
                    if (entry.back() == '\\') target += "/";
                    try {
                        reader.Extract(target, 0);
                    } catch (const CQVArchiveException&) {
                    }
                }
            } catch (const CQVArchiveException&) {
            }
            for (const auto& file : fs::directory_iterator(out)) {
                EXPECT_EQ(file.path().filename().string().substr(0, 1), "f") << file.path();
            }
            fs::remove_all(out);
        }
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir.path())) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"d.ace"});
}

}  // namespace
}  // namespace zel::ace::test

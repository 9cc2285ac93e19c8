// The ZIP back-end over real archives made by zip and Python's zipfile.
#include <gtest/gtest.h>

#include "archive/zip/zip_archive.h"
#include "platform/files.h"
#include "tests/archive/archive_support.h"

namespace zel::test {
namespace {

class ZipTest : public ::testing::Test {
protected:
    void OpenFixture(const std::string& name) { ASSERT_EQ(m_zip.Open(Fixture(name).c_str()), 1) << name; }
    CQVZipArchive m_zip;
    TempDir m_out;
};

TEST_F(ZipTest, ListsNamesWithBackslashesAndFolderEntriesWithATrailingOne) {
    OpenFixture("basic.zip");
    EXPECT_EQ(m_zip.GetType(), "zip");
    auto names = ListNames(m_zip);
    EXPECT_EQ(names, (std::vector<std::string>{"runs.bin", "empty.txt", "text.txt", "sub\\", "sub\\deeper\\",
                                               "sub\\deeper\\deep.txt", "empty_dir\\", "random.bin"}));
    // MoveFirst restarts the listing.
    EXPECT_EQ(ListNames(m_zip), names);
}

TEST_F(ZipTest, ConvertsDosNamesAndKeepsUtf8AndLongNamesWhole) {
    OpenFixture("cp437.zip");
    EXPECT_EQ(ListNames(m_zip), std::vector<std::string>{"caf\xC3\xA9.txt"});
    OpenFixture("utf8.zip");
    EXPECT_EQ(ListNames(m_zip), std::vector<std::string>{"caf\xC3\xA9 \xE4\xB8\xAD.txt"});
    OpenFixture("longname.zip");
    auto names = ListNames(m_zip);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0], std::string(150, 'd') + "\\" + std::string(149, 'n') + ".txt");
}

TEST_F(ZipTest, ASymbolicLinkIsNeitherMadeNorWrittenAsAFile) {
    OpenFixture("links.zip");
    EXPECT_EQ(ExtractEach(m_zip, m_out.path().string()),
              (std::vector<EntryResult>{{"a.txt", -1},
                                        {"sym.txt", CQVArchiveException::eArchiveFailure},
                                        {"z.txt", -1},
                                        {"", CQVArchiveException::eEndOfArchive}}));
    EXPECT_EQ(platform::KindOf(m_out / "sym.txt"), platform::EntryKind::missing);
}

TEST_F(ZipTest, EmptyArchiveIsEmpty) {
    OpenFixture("empty.zip");
    EXPECT_EQ(ErrorOf([&] { m_zip.MoveFirst(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { m_zip.ExtractFirst(); }), CQVArchiveException::eEndOfArchive);
}

TEST_F(ZipTest, ExtractsWhatUnzipExtracts) {
    for (const char* name : {"basic.zip", "utf8.zip", "longname.zip"}) {
        OpenFixture(name);
        std::string folder = m_out / name;
        ExtractAll(m_zip, folder);
        EXPECT_EQ(ReadTree(folder), ReadTree(Reference(name))) << name;
    }
    // The zero-length entry is an empty file; the folder entry made only a folder.
    EXPECT_EQ(ReadBytes(m_out / "basic.zip/empty.txt"), "");
    EXPECT_TRUE(platform::IsFolder(m_out / "basic.zip/empty_dir"));
}

TEST_F(ZipTest, SkipFlagWritesNothingAndAFolderDestinationOnlyMakesTheFolder) {
    OpenFixture("basic.zip");
    m_zip.ExtractFirst();
    ASSERT_EQ(m_zip.GetExtractName(), "runs.bin");
    m_zip.Extract(m_out / "skipped", 1);
    EXPECT_FALSE(FileExists(m_out / "skipped"));
    m_zip.Extract(m_out / "as_folder\\", 0);
    EXPECT_TRUE(platform::IsFolder(m_out / "as_folder"));
    m_zip.ExtractNext();
    EXPECT_EQ(m_zip.GetExtractName(), "empty.txt");
}

TEST_F(ZipTest, FailsWithoutWritingForMissingFoldersAndMethodsItCannotDecode) {
    OpenFixture("basic.zip");
    m_zip.ExtractFirst();
    std::string missing = m_out / "no/such/folder/runs.bin";
    EXPECT_EQ(ErrorOf([&] { m_zip.Extract(missing, 0); }), CQVArchiveException::eArchiveFailure);
    // The reader goes on after the failure.
    m_zip.Extract(m_out / "runs.bin", 0);
    EXPECT_EQ(ReadBytes(m_out / "runs.bin"), ReadBytes(Reference("basic.zip") + "/runs.bin"));

    for (const char* name : {"bzip2.zip", "encrypted.zip"}) {
        OpenFixture(name);
        m_zip.ExtractFirst();
        std::string out = m_out / name + ".out";
        EXPECT_EQ(ErrorOf([&] { m_zip.Extract(out, 0); }), CQVArchiveException::eArchiveFailure) << name;
        EXPECT_FALSE(FileExists(out)) << name;
    }
}

TEST_F(ZipTest, DamagedDataIsAFailureNotAGoodFile) {
    // Flip a byte inside the stored data of the only entry: the CRC no longer matches.
    std::string bytes = ReadBytes(Fixture("zip_with_arj.zip"));
    bytes[bytes.find("text.txt") + 200] ^= 0x55;
    std::string damaged = m_out / "damaged.zip";
    WriteFileBytes(damaged, bytes);
    ASSERT_EQ(m_zip.Open(damaged.c_str()), 1);
    m_zip.ExtractFirst();
    EXPECT_EQ(ErrorOf([&] { m_zip.Extract(m_out / "inner.arj", 0); }), CQVArchiveException::eArchiveFailure);
}

TEST_F(ZipTest, OpenFailsQuietlyForOtherFiles) {
    EXPECT_EQ(m_zip.Open(Fixture("method1.arj").c_str()), 0);
    EXPECT_EQ(m_zip.Open(Fixture("missing.zip").c_str()), 0);
    EXPECT_EQ(m_zip.Open(nullptr), 0);
    // Truncated archives never open into a crash.
    std::string bytes = ReadBytes(Fixture("utf8.zip"));
    std::string cut = m_out / "cut.zip";
    for (std::size_t size = 0; size < bytes.size(); size += 7) {
        WriteFileBytes(cut, bytes.substr(0, size));
        if (m_zip.Open(cut.c_str())) {
            try {
                ExtractAll(m_zip, m_out / "cut");
            } catch (const CQVArchiveException&) {
            }
        }
    }
}

}  // namespace
}  // namespace zel::test

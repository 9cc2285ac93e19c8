// The ARJ back-end over real archives made by arj, and over copies that a test changed.
#include <gtest/gtest.h>

#include <algorithm>

#include "archive/arj/arj_archive.h"
#include "platform/files.h"
#include "tests/archive/archive_support.h"

namespace zel::test {
namespace {

// Offsets within an ARJ header (from its id) of the fields the tests change.
constexpr std::size_t kMinVersionAt = 6;
constexpr std::size_t kHostAt = 7;
constexpr std::size_t kFlagsAt = 8;
constexpr std::size_t kFileTypeAt = 10;
constexpr std::size_t kFileCrcAt = 24;

class ArjTest : public ::testing::Test {
protected:
    void OpenFixture(const std::string& name) { ASSERT_EQ(m_arj.Open(Fixture(name).c_str()), 1) << name; }
    // Writes `bytes` to a file in the output folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = m_out / name;
        WriteFileBytes(path, bytes);
        return path;
    }
    CQVArjArchive m_arj;
    TempDir m_out;
};

TEST_F(ArjTest, EveryMethodExtractsWhatArjExtracts) {
    for (int method = 0; method <= 4; ++method) {
        std::string name = "method" + std::to_string(method) + ".arj";
        OpenFixture(name);
        EXPECT_EQ(m_arj.GetType(), "arj");
        std::string folder = m_out / name;
        auto names = ExtractAll(m_arj, folder);
        EXPECT_EQ(names.size(), 5u) << name;
        EXPECT_EQ(ReadTree(folder), ReadTree(Reference(name))) << name;
    }
}

TEST_F(ArjTest, TextDosAndLongNamedEntriesExtractAsArjDoes) {
    for (const char* name : {"text_mode.arj", "dos_headers.arj", "longname.arj"}) {
        OpenFixture(name);
        std::string folder = m_out / name;
        ExtractAll(m_arj, folder);
        EXPECT_EQ(ReadTree(folder), ReadTree(Reference(name))) << name;
    }
}

TEST_F(ArjTest, SlashesBecomeBackslashesOnlyWhenTheHeaderSaysSo) {
    std::string bytes = ReadBytes(Fixture("dos_headers.arj"));
    auto headers = ArjHeaderOffsets(bytes);
    ASSERT_EQ(headers.size(), 2u);
    std::string plain = Write("plain.arj", bytes);
    ASSERT_EQ(m_arj.Open(plain.c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub/deeper/deep.txt"});

    bytes[headers[1] + kFlagsAt] |= 0x10;
    FixArjHeaderCrc(bytes, headers[1]);
    std::string flagged = Write("flagged.arj", bytes);
    ASSERT_EQ(m_arj.Open(flagged.c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub\\deeper\\deep.txt"});
    // Extraction to a path in folders that do not exist yet creates them.
    m_arj.ExtractFirst();
    std::string destination = m_out / "new/folders/deep.txt";
    m_arj.Extract(destination, 0);
    EXPECT_EQ(ReadBytes(destination), "a file two folders down\n");
}

TEST_F(ArjTest, NamesFromDosHostsAreConvertedAndUnixNamesAreUtf8WithBackslashes) {
    std::string bytes = ReadBytes(Fixture("dos_headers.arj"));
    auto headers = ArjHeaderOffsets(bytes);
    std::size_t name_at = bytes.find("deep.txt", headers[1]);
    bytes[name_at] = '\x82';  // "é" in code page 437
    FixArjHeaderCrc(bytes, headers[1]);
    ASSERT_EQ(m_arj.Open(Write("dos.arj", bytes).c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub/deeper/\xC3\xA9"
                                                         "eep.txt"});
    // From a Unix host: "/" is the separator, flag or not, and a name that is no UTF-8 is taken
    // for the DOS code page.
    bytes[headers[1] + kHostAt] = 2;
    FixArjHeaderCrc(bytes, headers[1]);
    ASSERT_EQ(m_arj.Open(Write("unix.arj", bytes).c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub\\deeper\\\xC3\xA9"
                                                         "eep.txt"});
    bytes.replace(name_at, 2, "\xC3\xA9");  // "éep.txt" in UTF-8
    FixArjHeaderCrc(bytes, headers[1]);
    ASSERT_EQ(m_arj.Open(Write("utf8.arj", bytes).c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub\\deeper\\\xC3\xA9"
                                                         "ep.txt"});
}

TEST_F(ArjTest, EntriesItCannotDecodeFailAloneAndTheWalkGoesOn) {
    OpenFixture("garbled.arj");
    EXPECT_EQ(ExtractEach(m_arj, m_out / "garbled"),
              (std::vector<EntryResult>{{"text.txt", CQVArchiveException::eArchiveFailure},
                                        {"sub\\deeper\\deep.txt", -1},
                                        {"", CQVArchiveException::eEndOfArchive}}));
    EXPECT_FALSE(FileExists(m_out / "garbled/text.txt"));
    EXPECT_TRUE(FileExists(m_out / "garbled/sub/deeper/deep.txt"));
    // MoveNext after the end stays at the end.
    EXPECT_EQ(ErrorOf([&] { m_arj.MoveNext(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { m_arj.ExtractNext(); }), CQVArchiveException::eEndOfArchive);

    // A folder entry makes its folder; an entry that needs a newer version, and one that goes on
    // in another volume, fail.
    std::string bytes = ReadBytes(Fixture("method1.arj"));
    auto headers = ArjHeaderOffsets(bytes);
    ASSERT_GE(headers.size(), 4u);
    bytes[headers[1] + kFileTypeAt] = 3;
    FixArjHeaderCrc(bytes, headers[1]);
    bytes[headers[2] + kMinVersionAt] = 4;
    FixArjHeaderCrc(bytes, headers[2]);
    bytes[headers[3] + kFlagsAt] |= 0x04;
    FixArjHeaderCrc(bytes, headers[3]);
    ASSERT_EQ(m_arj.Open(Write("changed.arj", bytes).c_str()), 1);
    auto results = ExtractEach(m_arj, m_out / "changed");
    ASSERT_EQ(results.size(), 6u);
    std::vector<int> errors;
    for (const auto& result : results) errors.push_back(result.error);
    EXPECT_EQ(errors, (std::vector<int>{-1, 1, 1, -1, -1, 0}));
    auto path_of = [&](std::string name) {
        std::replace(name.begin(), name.end(), '\\', '/');
        return m_out / "changed/" + name;
    };
    EXPECT_TRUE(platform::IsFolder(path_of(results[0].name)));
    EXPECT_FALSE(FileExists(path_of(results[1].name)));
    EXPECT_TRUE(FileExists(path_of(results[3].name)));
}

TEST_F(ArjTest, MainHeaderIsFoundOnlyWithinTheFirst25000Bytes) {
    std::string archive = ReadBytes(Fixture("dos_headers.arj"));
    // A stub with a false candidate: the id bytes followed by a header whose CRC does not match.
    std::string stub(24999, '\0');
    stub.replace(100, 6, std::string("\x60\xEA\x10\x00\x22\x0B", 6));
    ASSERT_EQ(m_arj.Open(Write("at24999.exe", stub + archive).c_str()), 1);
    EXPECT_EQ(ListNames(m_arj), std::vector<std::string>{"sub/deeper/deep.txt"});
    EXPECT_EQ(m_arj.Open(Write("at25001.exe", std::string(25001, '\0') + archive).c_str()), 0);
    // arj's own self-extractor stub is longer than that.
    EXPECT_EQ(m_arj.Open(Fixture("sfx").c_str()), 0);
}

TEST_F(ArjTest, ArchiveWithOnlyItsMainHeaderHasNoEntries) {
    std::string bytes = ReadBytes(Fixture("dos_headers.arj"));
    auto headers = ArjHeaderOffsets(bytes);
    std::string only_main = bytes.substr(0, headers[1]) + std::string("\x60\xEA\x00\x00", 4);
    ASSERT_EQ(m_arj.Open(Write("only_main.arj", only_main).c_str()), 1);
    EXPECT_EQ(ErrorOf([&] { m_arj.MoveFirst(); }), CQVArchiveException::eEndOfArchive);
}

TEST_F(ArjTest, DamagedHeadersAndDataFail) {
    std::string bytes = ReadBytes(Fixture("method4.arj"));
    auto headers = ArjHeaderOffsets(bytes);
    // A main header CRC mismatch: the search passes over it and takes the first entry header for
    // the main header, after which comes data, not a header; with no other header there is no
    // archive at all.
    std::string main_damaged = bytes;
    main_damaged[headers[0] + 12] ^= 1;
    ASSERT_EQ(m_arj.Open(Write("main.arj", main_damaged).c_str()), 1);
    EXPECT_EQ(ErrorOf([&] { m_arj.MoveFirst(); }), CQVArchiveException::eArchiveFailure);
    std::string only_main = main_damaged.substr(0, headers[1]) + std::string("\x60\xEA\x00\x00", 4);
    EXPECT_EQ(m_arj.Open(Write("main_only.arj", only_main).c_str()), 0);
    // An entry header CRC mismatch: the walk fails there.
    std::string entry_damaged = bytes;
    entry_damaged[headers[2] + 12] ^= 1;
    ASSERT_EQ(m_arj.Open(Write("entry.arj", entry_damaged).c_str()), 1);
    m_arj.MoveFirst();
    EXPECT_EQ(ErrorOf([&] { m_arj.MoveNext(); }), CQVArchiveException::eArchiveFailure);
    // A header size above 2,600.
    std::string oversized = bytes;
    oversized[headers[1] + 3] = 0x20;
    ASSERT_EQ(m_arj.Open(Write("oversized.arj", oversized).c_str()), 1);
    EXPECT_EQ(ErrorOf([&] { m_arj.MoveFirst(); }), CQVArchiveException::eArchiveFailure);
    // Data whose CRC does not match its header.
    std::string crc_damaged = bytes;
    crc_damaged[headers[1] + kFileCrcAt] ^= 1;
    FixArjHeaderCrc(crc_damaged, headers[1]);
    ASSERT_EQ(m_arj.Open(Write("crc.arj", crc_damaged).c_str()), 1);
    m_arj.ExtractFirst();
    EXPECT_EQ(ErrorOf([&] { m_arj.Extract(m_out / "bad", 0); }), CQVArchiveException::eArchiveFailure);
    // The walk goes on after the failed entry.
    m_arj.ExtractNext();
    m_arj.Extract(m_out / "next", 0);
    EXPECT_EQ(ReadBytes(m_out / "next"), ReadBytes(Reference("method4.arj") + "/" + m_arj.GetName()));
}

TEST_F(ArjTest, TruncatedAndCorruptedArchivesNeverCrash) {
    for (const char* name : {"method1.arj", "method4.arj"}) {
        std::string bytes = ReadBytes(Fixture(name)).substr(0, 6000);
        for (std::size_t size = 0; size < bytes.size(); size += 97) {
            std::string path = Write("cut.arj", bytes.substr(0, size));
            if (!m_arj.Open(path.c_str())) continue;
            try {
                ExtractAll(m_arj, m_out / "cut");
            } catch (const CQVArchiveException&) {
            }
        }
        std::string flipped = ReadBytes(Fixture(name));
        auto headers = ArjHeaderOffsets(flipped);
        for (std::size_t at = headers[1] + 60; at < headers[1] + 2000; at += 13) {
            std::string copy = flipped;
            copy[at] ^= 0xA5;
            std::string path = Write("flipped.arj", copy);
            ASSERT_EQ(m_arj.Open(path.c_str()), 1);
            try {
                ExtractAll(m_arj, m_out / "flipped");
            } catch (const CQVArchiveException&) {
            }
        }
    }
}

}  // namespace
}  // namespace zel::test

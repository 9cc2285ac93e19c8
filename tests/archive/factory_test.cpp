// The factory's probing order and the readers it returns.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <span>

#include "platform/files.h"
#include "tests/archive/archive_support.h"

namespace zel::test {
namespace {

std::string TypeOf(const std::string& path) {
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    return reader ? reader->GetType() : "null";
}

TEST(ArchiveFactoryTest, RecognisesZipAndArjByContentAndRarByExtensionOrSignature) {
    EXPECT_EQ(TypeOf(Fixture("basic.zip")), "zip");
    EXPECT_EQ(TypeOf(Fixture("method1.arj")), "arj");
    EXPECT_EQ(TypeOf(Fixture("basic.rar")), "rar");
    // A ZIP named .rar is read as ZIP; a ZIP that holds an ARJ archive is still ZIP.
    EXPECT_EQ(TypeOf(Fixture("zip_named.rar")), "zip");
    EXPECT_EQ(TypeOf(Fixture("zip_with_arj.zip")), "zip");
    // RAR is known by its extension in any letter case, and by its signature whatever the name.
    EXPECT_EQ(TypeOf(Fixture("basic.RAR")), "rar");
    EXPECT_EQ(TypeOf(Fixture("rar_named.dat")), "rar");
    EXPECT_EQ(TypeOf(Fixture("src/text.txt")), "null");
    EXPECT_EQ(TypeOf(Fixture("no such file.zip")), "null");
    EXPECT_EQ(CQVArchiveEngine::CreateUnpacker(nullptr), nullptr);
}

std::vector<std::string> AllTypesOf(const std::string& path) {
    std::vector<std::string> types;
    for (const auto& reader : CQVArchiveEngine::CreateAllUnpackers(path.c_str())) types.push_back(reader->GetType());
    return types;
}

TEST(ArchiveFactoryTest, AZipStoredInAnotherArchiveDoesNotHideItButIsFoundToo) {
    for (const char* type : {"rar", "arj", "cab"}) {
        std::string path = Fixture(std::string("zip_last.") + type);
        EXPECT_EQ(TypeOf(path), type);
        auto readers = CQVArchiveEngine::CreateAllUnpackers(path.c_str());
        ASSERT_EQ(readers.size(), 2u) << type;
        EXPECT_EQ(readers[1]->GetType(), "zip");
        // The outer archive's own members are what the first reader lists.
        ASSERT_EQ(readers[0]->Open(path.c_str()), 1) << type;
        EXPECT_EQ(ListNames(*readers[0]), (std::vector<std::string>{"text.txt", "inner.zip"})) << type;
    }
    // Data in front of a ZIP or a RAR archive that is no other archive: a self-extractor.
    EXPECT_EQ(AllTypesOf(Fixture("sfx_zip.exe")), std::vector<std::string>{"zip"});
    EXPECT_EQ(AllTypesOf(Fixture("sfx_rar.exe")), std::vector<std::string>{"rar"});
    EXPECT_EQ(AllTypesOf(Fixture("basic.zip")), std::vector<std::string>{"zip"});
    EXPECT_TRUE(AllTypesOf(Fixture("src/text.txt")).empty());
}

TEST(ArchiveFactoryTest, ExtensionIsTakenFromTheLastPathComponent) {
    TempDir folder;
    std::string dotted = folder / "dir.rar";
    ASSERT_TRUE(platform::MakeFolder(dotted));
    std::string plain = dotted + "/archive";
    WriteFileBytes(plain, "plain text in a folder whose name ends in .rar");
    EXPECT_EQ(TypeOf(plain), "null");
    // A RAR reader for a file that is no RAR archive: created by name, refused by Open.
    std::string fake = folder / "fake.Rar";
    WriteFileBytes(fake, "not an archive at all");
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(fake.c_str()));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Open(fake.c_str()), 0);
}

TEST(ArchiveFactoryTest, ReturnedReadersHaveNothingOpen) {
    std::unique_ptr<CQVArchive> zip(CQVArchiveEngine::CreateUnpacker(Fixture("basic.zip").c_str()));
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(ErrorOf([&] { zip->MoveFirst(); }), CQVArchiveException::eArchiveFailure);
    std::unique_ptr<CQVArchive> arj(CQVArchiveEngine::CreateUnpacker(Fixture("method1.arj").c_str()));
    ASSERT_NE(arj, nullptr);
    EXPECT_EQ(ErrorOf([&] { arj->MoveFirst(); }), CQVArchiveException::eArchiveFailure);
    std::unique_ptr<CQVArchive> rar(CQVArchiveEngine::CreateUnpacker(Fixture("basic.rar").c_str()));
    ASSERT_NE(rar, nullptr);
    EXPECT_EQ(ErrorOf([&] { rar->GetName(); }), CQVArchiveException::eEndOfArchive);
    // Each can then be opened, walked, closed twice and destroyed.
    for (auto* reader : {zip.get(), arj.get(), rar.get()}) {
        std::string path = Fixture(reader->GetType() == "zip"   ? "basic.zip"
                                   : reader->GetType() == "arj" ? "method1.arj"
                                                                : "basic.rar");
        ASSERT_EQ(reader->Open(path.c_str()), 1) << path;
        EXPECT_FALSE(ListNames(*reader).empty());
        reader->Close();
        reader->Close();
    }
}

// A scanner passes over a file whose first and last bytes say that no back-end takes it: on every
// fixture that some back-end accepts, the bytes must never say so; and plain text says no.
TEST(ArchiveFactoryTest, MayBeArchiveNeverRefusesWhatABackEndAccepts) {
    auto may_be = [](const std::string& path) {
        std::string bytes = ReadBytes(path);
        auto all = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        return CQVArchiveEngine::MayBeArchive(path.c_str(),
                                              all.first(std::min(all.size(), CQVArchiveEngine::kSniffHeadSize)),
                                              all.last(std::min(all.size(), CQVArchiveEngine::kSniffTailSize)));
    };
    std::vector<std::string> names;
    ASSERT_TRUE(platform::ListFolder(Fixture(""), names));
    int archives = 0;
    for (const std::string& name : names) {
        std::string path = Fixture(name);
        if (platform::KindOf(path) != platform::EntryKind::file) continue;
        if (CQVArchiveEngine::CreateAllUnpackers(path.c_str()).empty()) continue;
        ++archives;
        EXPECT_TRUE(may_be(path)) << name;
    }
    EXPECT_GE(archives, 30);
    TempDir folder;
    std::string text = folder / "text.txt";
    WriteFileBytes(text, std::string(300000, 'x') + "PK\x03\x04 Rar! **ACE** MSCF");
    EXPECT_FALSE(may_be(text));
    EXPECT_TRUE(may_be(folder / "named.ACE"));  // named so, a reader is made for it
}

TEST(ArchiveFactoryTest, ExceptionCopiesItsCode) {
    CQVArchiveException end(CQVArchiveException::eEndOfArchive);
    CQVArchiveException failure(CQVArchiveException::eArchiveFailure);
    CQVArchiveException copy(failure);
    EXPECT_EQ(copy.GetError(), CQVArchiveException::eArchiveFailure);
    copy = end;
    EXPECT_EQ(copy.m_error, CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(static_cast<int>(CQVArchiveException::eArchiveFailure), 1);
}

}  // namespace
}  // namespace zel::test

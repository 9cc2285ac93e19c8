// The CAB back-end: the reader interface over the worker thread, its waits and restarts, Close
// at any moment, and the factory's probe.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "archive/cab/cab_archive.h"
#include "tests/archive/reader_walk.h"
#include "tests/cabinet/support/cab_writer.h"
#include "tests/cabinet/support/test_data.h"
#include "tests/support/temp_dir.h"

namespace zel::cabinet::test {
namespace {

constexpr int kShortWait = 300;  // ms: the tests' wait limit instead of 10 s

using Clock = std::chrono::steady_clock;
long long MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::size_t OpenDescriptors() {
    return std::size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

using zel::test::ErrorOf;
using zel::test::ListNames;

WriterFolder Folder(std::uint16_t type, std::vector<std::size_t> sizes, std::uint32_t seed) {
    WriterFolder folder;
    folder.compressionType = type;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        folder.files.push_back({"dir\\file" + std::to_string(i) + ".bin", MakeTestData(sizes[i], seed + std::uint32_t(i))});
    }
    return folder;
}

class CabArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = Folder(CompressionType(3, 16), {70000, 10, 40000}, 1);
        m_path = m_dir.File("test.cab");
        WriteFile(m_path, WriteCabinet({m_folder}));
    }
    zel::testing::TempDir m_dir;
    WriterFolder m_folder;
    std::string m_path;
};

TEST_F(CabArchiveTest, FactoryRecognisesACabinetByItsContentsAlone) {
    std::string renamed = m_dir.File("looks.zip");
    std::filesystem::copy_file(m_path, renamed);
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(renamed.c_str()));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->GetType(), "cab");

    // A header anywhere but at the very start is no cabinet.
    Bytes shifted(16, 'x');
    Bytes cab = WriteCabinet({m_folder});
    shifted.insert(shifted.end(), cab.begin(), cab.end());
    std::string other = m_dir.File("shifted.bin");
    WriteFile(other, shifted);
    std::unique_ptr<CQVArchive> none(CQVArchiveEngine::CreateUnpacker(other.c_str()));
    EXPECT_TRUE(none == nullptr || none->GetType() != "cab");
}

TEST_F(CabArchiveTest, ListsAndExtractsEveryEntryInOrder) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    EXPECT_EQ(ListNames(reader), (std::vector<std::string>{"dir\\file0.bin", "dir\\file1.bin", "dir\\file2.bin"}));
    reader.Close();

    // Extraction in a new pass; an existing longer file keeps exactly the entry's bytes.
    std::string longer = m_dir.File("out1");
    WriteFile(longer, Bytes(100000, 'z'));
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    int error = ErrorOf([&] {
        reader.ExtractFirst();
        for (int i = 0;; ++i) {
            reader.GetExtractName();
            reader.Extract(m_dir.File("out" + std::to_string(i)), i == 2);
            reader.ExtractNext();
        }
    });
    EXPECT_EQ(error, CQVArchiveException::eEndOfArchive);
    reader.Close();
    for (int i = 0; i < 2; ++i) {
        std::ifstream in(m_dir.File("out" + std::to_string(i)), std::ios::binary);
        Bytes got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, m_folder.files[std::size_t(i)].data) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out2")));  // skipped
}

TEST_F(CabArchiveTest, NamesAreAskedForOnceAndASecondAskTimesOut) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { reader.GetName(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_GE(MillisecondsSince(start), kShortWait - 20);
}

TEST_F(CabArchiveTest, MoveFirstRestartsFromTheFirstEntry) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    reader.MoveNext();
    EXPECT_EQ(reader.GetName(), "dir\\file1.bin");
    reader.MoveNext();
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");

    // Right after a name, with no command sent, there is nothing to wait for.
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { reader.MoveFirst(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_GE(MillisecondsSince(start), kShortWait - 20);
}

TEST_F(CabArchiveTest, AfterTheEndEveryPassNeedsANewOpen) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    EXPECT_EQ(ListNames(reader).size(), 3u);
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { reader.MoveFirst(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.ExtractFirst(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.MoveNext(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.ExtractNext(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_LT(MillisecondsSince(start), 100);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    EXPECT_EQ(ListNames(reader).size(), 3u);
}

TEST_F(CabArchiveTest, EmptyAndUnreadableCabinetsHaveNoEntries) {
    std::string empty = m_dir.File("empty.cab");
    WriteFile(empty, WriteCabinet({}));
    for (const std::string& path : {empty, m_dir.File("missing.cab")}) {
        CQVCabArchive reader(kShortWait);
        ASSERT_TRUE(reader.Open(path.c_str()));
        int error = ErrorOf([&] { reader.MoveFirst(); });
        EXPECT_TRUE(error == -1 || error == CQVArchiveException::eEndOfArchive);
        auto start = Clock::now();
        EXPECT_EQ(ErrorOf([&] { reader.GetName(); }), CQVArchiveException::eEndOfArchive);
        EXPECT_LT(MillisecondsSince(start), 100);
    }
}

TEST_F(CabArchiveTest, AFileContinuedInTheNextCabinetEndsTheIteration) {
    WriterFolder folder = Folder(CompressionType(1), {50000, 50000, 50000}, 5);
    auto parts = WriteCabinetSet(folder, {"p1.cab", "p2.cab"}, true);
    WriteFile(m_dir.File("p1.cab"), parts[0]);
    WriteFile(m_dir.File("p2.cab"), parts[1]);
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_dir.File("p1.cab").c_str()));
    std::vector<std::string> extracted;
    int error = ErrorOf([&] {
        reader.ExtractFirst();
        for (int i = 0;; ++i) {
            extracted.push_back(reader.GetExtractName());
            reader.Extract(m_dir.File("x" + std::to_string(i)), 0);
            reader.ExtractNext();
        }
    });
    EXPECT_EQ(error, CQVArchiveException::eEndOfArchive);
    ASSERT_FALSE(extracted.empty());
    // The spanning file is the last one offered; nothing after it. The files before it are whole,
    // and the spanning one is not left behind truncated.
    std::size_t spanning = extracted.size() - 1;
    EXPECT_LT(spanning, folder.files.size());
    for (std::size_t i = 0; i < spanning; ++i) {
        std::ifstream in(m_dir.File("x" + std::to_string(i)), std::ios::binary);
        Bytes got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, folder.files[i].data) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("x" + std::to_string(spanning))));
}

TEST_F(CabArchiveTest, AnOutputThatCannotBeOpenedEndsTheRun) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    reader.ExtractFirst();
    reader.GetExtractName();
    reader.Extract(m_dir.File("no/such/folder/file"), 0);
    EXPECT_EQ(ErrorOf([&] { reader.GetExtractName(); }), CQVArchiveException::eEndOfArchive);
}

TEST_F(CabArchiveTest, ADestinationNamingAFolderCreatesItAndPassesOverTheData) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    reader.ExtractFirst();
    reader.GetExtractName();
    reader.Extract(m_dir.File("made/here/"), 0);
    EXPECT_EQ(reader.GetExtractName(), "dir\\file1.bin");
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.File("made/here")));
}

TEST_F(CabArchiveTest, CloseEndsAWaitingWorkerPromptlyAndLeavesNothingOpen) {
    const std::size_t before = OpenDescriptors();
    {
        CQVCabArchive reader(kShortWait);
        ASSERT_TRUE(reader.Open(m_path.c_str()));
        reader.MoveFirst();
        reader.GetName();
        auto start = Clock::now();
        reader.Close();
        EXPECT_LT(MillisecondsSince(start), 200);
        reader.Close();  // again: nothing to do
        ASSERT_TRUE(reader.Open(m_path.c_str()));
        // The destructor closes a reader left open.
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(CabArchiveTest, CloseStopsALongDecodeAndClosesItsOutput) {
    // One large file: 64 MiB of zeros in MSZIP, quick to make, and writing it out takes a while;
    // Close must not wait for the end.
    WriterFolder big;
    big.compressionType = CompressionType(1);
    big.encoder = [] { return MakeMszipEncoder(1); };
    big.files.push_back({"big.bin", Bytes(std::size_t(64) << 20, 0)});
    std::string path = m_dir.File("big.cab");
    WriteFile(path, WriteCabinet({big}));
    big.files.clear();
    const std::size_t before = OpenDescriptors();
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(path.c_str()));
    reader.ExtractFirst();
    reader.GetExtractName();
    reader.Extract(m_dir.File("big.out"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto start = Clock::now();
    reader.Close();
    EXPECT_LT(MillisecondsSince(start), 500);
    EXPECT_EQ(OpenDescriptors(), before);
    // The unfinished output is not left behind as if it were the entry.
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("big.out")));
}

// Two readers decoding Quantum folders at the same time in two threads.
TEST_F(CabArchiveTest, TwoReadersDecodeQuantumAtOnce) {
    std::vector<WriterFolder> folders = {Folder(CompressionType(2, 18), {400000}, 21),
                                         Folder(CompressionType(2, 20), {400000}, 22)};
    std::vector<int> good(2, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        std::string path = m_dir.File("q" + std::to_string(t) + ".cab");
        WriteFile(path, WriteCabinet({folders[std::size_t(t)]}));
        threads.emplace_back([&, t, path] {
            for (int round = 0; round < 3; ++round) {
                CQVCabArchive reader;
                std::string out = m_dir.File("q" + std::to_string(t) + ".out");
                if (!reader.Open(path.c_str())) return;
                try {
                    reader.ExtractFirst();
                    reader.GetExtractName();
                    reader.Extract(out, 0);
                    reader.ExtractNext();
                    reader.GetExtractName();
                } catch (const CQVArchiveException&) {
                }
                reader.Close();
                std::ifstream in(out, std::ios::binary);
                Bytes got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
                if (got == folders[std::size_t(t)].files[0].data) ++good[std::size_t(t)];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(good, (std::vector<int>{3, 3}));
}

TEST_F(CabArchiveTest, NamesAreWindows1252UnlessMarkedUtf8) {
    WriterFolder folder;
    folder.files.push_back({"caf\xE9.txt", Bytes(3, 'a')});
    folder.files.push_back({"\xC3\xA9t\xC3\xA9.txt", Bytes(3, 'b'), 0x20 | 0x80});
    std::string path = m_dir.File("names.cab");
    WriteFile(path, WriteCabinet({folder}));
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(path.c_str()));
    EXPECT_EQ(ListNames(reader), (std::vector<std::string>{"caf\xC3\xA9.txt", "\xC3\xA9t\xC3\xA9.txt"}));
}

}  // namespace
}  // namespace zel::cabinet::test

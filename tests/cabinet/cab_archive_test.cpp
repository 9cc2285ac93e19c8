// The CAB back-end: the reader interface over the worker thread, its waits and restarts, Close
// at any moment, and the factory's probe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <thread>
#include <tuple>

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
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::size_t OpenDescriptors() {
    return std::size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

using zel::test::ErrorOf;
using zel::test::ExtractEach;
using zel::test::ListNames;
using zel::testing::ReadBytes;

WriterFolder Folder(std::uint16_t type, std::vector<std::size_t> sizes, std::uint32_t seed) {
    WriterFolder folder;
    folder.compressionType = type;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        folder.files.push_back(
            {"dir\\file" + std::to_string(i) + ".bin", MakeTestData(sizes[i], seed + std::uint32_t(i))});
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
        EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("out" + std::to_string(i))), m_folder.files[std::size_t(i)].data) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out2")));  // skipped
}

TEST_F(CabArchiveTest, NamesCanBeAskedAgainAndMoveFirstRestartsAtOnce) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    auto start = Clock::now();
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    reader.MoveNext();
    EXPECT_EQ(reader.GetName(), "dir\\file1.bin");
    reader.MoveNext();
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    // Right after a name, with no command sent, the worker waits at that file: no wait is needed.
    reader.MoveFirst();
    EXPECT_EQ(reader.GetName(), "dir\\file0.bin");
    EXPECT_LT(MillisecondsSince(start), kShortWait);
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

TEST_F(CabArchiveTest, EmptyCabinetIsEmptyUnreadableOneFailsAndDeepOnesAreRead) {
    std::string empty = m_dir.File("empty.cab");
    WriteFile(empty, WriteCabinet({}));
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(empty.c_str()));
    int error = ErrorOf([&] { reader.MoveFirst(); });
    EXPECT_TRUE(error == -1 || error == CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(ErrorOf([&] { reader.GetName(); }), CQVArchiveException::eEndOfArchive);
    EXPECT_EQ(reader.Open(m_dir.File("missing.cab").c_str()), 0);
    // A cabinet whose path is longer than 256 characters lists like any other.
    std::filesystem::path deep = std::filesystem::path(m_dir.path()) / std::string(200, 'd') / std::string(150, 'e');
    std::filesystem::create_directories(deep);
    std::filesystem::copy_file(m_path, deep / "test.cab");
    ASSERT_TRUE(reader.Open((deep / "test.cab").c_str()));
    EXPECT_EQ(ListNames(reader).size(), 3u);
}

TEST_F(CabArchiveTest, AFileContinuedInTheNextCabinetFailsAlone) {
    WriterFolder folder = Folder(CompressionType(1), {50000, 50000, 50000}, 5);
    auto parts = WriteCabinetSet(folder, {"p1.cab", "p2.cab"}, true);
    WriteFile(m_dir.File("p1.cab"), parts[0]);
    WriteFile(m_dir.File("p2.cab"), parts[1]);
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_dir.File("p1.cab").c_str()));
    auto results = ExtractEach(reader, m_dir.File("x"));
    // The files before the spanning one are whole; the spanning one fails and is not left
    // behind truncated; the pass then ends normally.
    ASSERT_GE(results.size(), 2u);
    std::size_t spanning = results.size() - 2;
    EXPECT_EQ(results[spanning].error, CQVArchiveException::eArchiveFailure);
    EXPECT_EQ(results.back().error, CQVArchiveException::eEndOfArchive);
    for (std::size_t i = 0; i < spanning; ++i) {
        EXPECT_EQ(results[i].error, -1);
        EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("x/dir/file" + std::to_string(i) + ".bin")), folder.files[i].data) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("x/dir/file" + std::to_string(spanning) + ".bin")));
}

TEST_F(CabArchiveTest, AnOutputThatCannotBeMadeFailsThatEntryAlone) {
    CQVCabArchive reader(kShortWait);
    ASSERT_TRUE(reader.Open(m_path.c_str()));
    reader.ExtractFirst();
    reader.GetExtractName();
    EXPECT_EQ(ErrorOf([&] { reader.Extract(m_dir.File("no/such/folder/file"), 0); }),
              CQVArchiveException::eArchiveFailure);
    reader.ExtractNext();
    EXPECT_EQ(reader.GetExtractName(), "dir\\file1.bin");
    reader.Extract(m_dir.File("file1"), 0);
    EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("file1")), m_folder.files[1].data);
}

// Folder 0 holds file0; folder 1 holds file1 and file2. Each case damages the cabinet in its own
// way; `expected` are the Extract results, then the pass's end.
TEST_F(CabArchiveTest, DamagedCabinetsFailTheEntriesTheyDamage) {
    std::vector<WriterFolder> folders = {Folder(CompressionType(1), {40000}, 7),
                                         Folder(CompressionType(1), {30000, 30000}, 8)};
    folders[1].files[0].name = "dir\\file1.bin";
    folders[1].files[1].name = "dir\\file2.bin";
    Bytes good = WriteCabinet(folders);
    auto folder_data = [&](int index) {
        return std::size_t(good[36 + 8 * index]) | std::size_t(good[37 + 8 * index]) << 8 |
               std::size_t(good[38 + 8 * index]) << 16;
    };
    const std::size_t file_entries = std::size_t(good[16]) | std::size_t(good[17]) << 8;
    const std::size_t entry_size = 16 + std::string("dir\\file0.bin").size() + 1;

    Bytes block_damaged = good;  // a data byte of folder 0's first block
    block_damaged[folder_data(0) + 8 + 10] ^= 0x55;
    Bytes past_the_end = good;  // file2 claims bytes its folder does not have
    past_the_end[file_entries + 2 * entry_size + 6] = 0x70;
    Bytes truncated(good.begin(), good.begin() + std::ptrdiff_t(folder_data(1) + 100));
    Bytes list_cut(good.begin(), good.begin() + std::ptrdiff_t(file_entries + entry_size + 10));
    const int ok = -1, failed = CQVArchiveException::eArchiveFailure, end = CQVArchiveException::eEndOfArchive;
    struct Case {
        const char* name;
        Bytes bytes;
        std::vector<int> expected;
    } cases[] = {{"block", block_damaged, {failed, ok, ok, end}},
                 {"past", past_the_end, {ok, ok, failed, end}},
                 {"truncated", truncated, {ok, failed, failed, end}},
                 // The data lies after the file list: file0 has none, and the list breaks off.
                 {"list", list_cut, {failed, failed}}};
    for (const auto& c : cases) {
        std::string path = m_dir.File(std::string(c.name) + ".cab");
        WriteFile(path, c.bytes);
        CQVCabArchive reader(kShortWait);
        ASSERT_TRUE(reader.Open(path.c_str())) << c.name;
        std::vector<int> errors;
        for (const auto& result : ExtractEach(reader, m_dir.File(c.name))) errors.push_back(result.error);
        EXPECT_EQ(errors, c.expected) << c.name;
    }
    EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("block/dir/file2.bin")), folders[1].files[1].data);
    EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("truncated/dir/file0.bin")), folders[0].files[0].data);
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

// A cabinet of one MSZIP folder: "big.bin", `zeroBlocks` blocks of 32 KiB of zeros (each a few
// bytes of deflate data, so that gigabytes fit in a small file), then "after.bin" (`tail`).
Bytes ZeroBlocksCabinet(std::uint32_t zeroBlocks, const Bytes& tail) {
    auto deflate_block = [](const Bytes& data) {
        z_stream stream{};
        deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        Bytes out(deflateBound(&stream, uLong(data.size())) + 2);
        out[0] = 'C';
        out[1] = 'K';
        stream.next_in = const_cast<Bytef*>(data.data());
        stream.avail_in = uInt(data.size());
        stream.next_out = out.data() + 2;
        stream.avail_out = uInt(out.size() - 2);
        deflate(&stream, Z_FINISH);
        out.resize(2 + stream.total_out);
        deflateEnd(&stream);
        return out;
    };
    auto put16 = [](Bytes& b, std::uint32_t v) {
        b.push_back(std::uint8_t(v));
        b.push_back(std::uint8_t(v >> 8));
    };
    auto put32 = [&](Bytes& b, std::uint32_t v) {
        put16(b, v & 0xFFFF);
        put16(b, v >> 16);
    };
    const Bytes zeros = deflate_block(Bytes(32768, 0));
    const Bytes last = deflate_block(tail);
    const std::uint32_t files = 36 + 8;
    const std::uint32_t data = files + 16 + 8 + 16 + 10;
    const std::uint32_t size = data + zeroBlocks * std::uint32_t(8 + zeros.size()) + std::uint32_t(8 + last.size());
    Bytes cab = {'M', 'S', 'C', 'F', 0, 0, 0, 0};
    put32(cab, size);
    put32(cab, 0);
    put32(cab, files);
    put32(cab, 0);
    cab.insert(cab.end(), {3, 1});
    put16(cab, 1);  // folders
    put16(cab, 2);  // files
    put16(cab, 0);  // flags
    put16(cab, 7);  // set id
    put16(cab, 0);  // cabinet index
    put32(cab, data);
    put16(cab, zeroBlocks + 1);
    put16(cab, 1);  // MSZIP
    for (auto [name, length, offset] :
         {std::tuple<std::string, std::uint32_t, std::uint32_t>{"big.bin", zeroBlocks * 32768u, 0},
          {"after.bin", std::uint32_t(tail.size()), zeroBlocks * 32768u}}) {
        put32(cab, length);
        put32(cab, offset);
        put16(cab, 0);
        put32(cab, 0);     // date, time
        put16(cab, 0x20);  // attributes
        cab.insert(cab.end(), name.begin(), name.end());
        cab.push_back(0);
    }
    for (std::uint32_t i = 0; i <= zeroBlocks; ++i) {
        const Bytes& block = i < zeroBlocks ? zeros : last;
        put32(cab, 0);  // no checksum
        put16(cab, std::uint32_t(block.size()));
        put16(cab, i < zeroBlocks ? 32768u : std::uint32_t(tail.size()));
        cab.insert(cab.end(), block.begin(), block.end());
    }
    return cab;
}

TEST_F(CabArchiveTest, ExtractLimitStopsTheDecodeAndASlowEntryIsNoEnd) {
    // 256 MiB of zeros before the last file: decoding through them takes several times the wait
    // limit, yet the worker makes progress all along, so the walk goes on to that file.
    constexpr int kWait = 100;
    const Bytes tail = MakeTestData(5000, 3);
    std::string path = m_dir.File("zeros.cab");
    WriteFile(path, ZeroBlocksCabinet(8192, tail));
    const std::size_t before = OpenDescriptors();
    CQVCabArchive reader(kWait);
    ASSERT_TRUE(reader.Open(path.c_str()));
    reader.SetExtractLimit(100000);
    auto start = Clock::now();
    reader.ExtractFirst();
    EXPECT_EQ(reader.GetExtractName(), "big.bin");
    reader.Extract(m_dir.File("big.out"), 0);
    const long long limited = MillisecondsSince(start);
    EXPECT_TRUE(reader.WasExtractTruncated());
    EXPECT_LT(reader.GetExtractDecodedBytes(), 100000u + 32768u);
    EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("big.out")), Bytes(100000, 0));
    reader.ExtractNext();
    EXPECT_EQ(reader.GetExtractName(), "after.bin");
    start = Clock::now();
    reader.Extract(m_dir.File("after.out"), 0);
    const long long through = MillisecondsSince(start);
    // The limited entry did not decode what the next entry had to pass through.
    EXPECT_GT(through, kWait);
    EXPECT_LT(limited * 4, through);
    EXPECT_FALSE(reader.WasExtractTruncated());
    // What the limited entry left undecoded is charged to the entry that had to pass through it.
    EXPECT_GE(reader.GetExtractDecodedBytes(), 8192u * 32768u - 100000u - 32768u);
    EXPECT_EQ(ReadBytes<Bytes>(m_dir.File("after.out")), tail);
    EXPECT_EQ(ErrorOf([&] {
                  reader.ExtractNext();
                  reader.GetExtractName();
              }),
              CQVArchiveException::eEndOfArchive);
    reader.Close();
    EXPECT_EQ(OpenDescriptors(), before);
}

// The worker's reads in the test that stalls them: each waits until the test lets go, then fails.
std::shared_future<void> g_readsStallUntil;
std::uint32_t StallingRead(CabHandle, void*, std::uint32_t) {
    g_readsStallUntil.wait();
    return std::uint32_t(-1);
}

TEST_F(CabArchiveTest, AWorkerWithoutProgressIsAFailureNotAnEnd) {
    // The worker's reads wait for ever, as those of a device or network file that hangs would,
    // and the caller's wait gives up.
    std::string path = m_dir.File("stall.cab");
    WriteFile(path, WriteCabinet({m_folder}));
    std::promise<void> release;
    g_readsStallUntil = release.get_future().share();
    CabCallbacks files = CQVCabArchive::Callbacks();
    files.read = StallingRead;
    CQVCabArchive reader(kShortWait, files);
    EXPECT_TRUE(reader.Open(path.c_str()));
    auto start = Clock::now();
    EXPECT_EQ(ErrorOf([&] { reader.MoveFirst(); }), CQVArchiveException::eArchiveFailure);
    EXPECT_GE(MillisecondsSince(start), kShortWait - 20);
    EXPECT_EQ(ErrorOf([&] { reader.GetName(); }), CQVArchiveException::eArchiveFailure);
    release.set_value();
    reader.Close();
    // A cabinet that is a FIFO is never opened: it would wait for a writer.
    std::string fifo = m_dir.File("fifo.cab");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(reader.Open(fifo.c_str()));
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
                if (ReadBytes<Bytes>(out) == folders[std::size_t(t)].files[0].data) ++good[std::size_t(t)];
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

// What every back-end promises about the files Extract writes: no more than the extraction limit,
// nothing written through a link planted at the destination, and nothing but a regular file ever
// replaced.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <memory>

#include "platform/files.h"
#include "tests/archive/archive_support.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

// One archive of each format; RAR and ACE also solid, where later entries need the earlier ones.
std::vector<std::string> Archives() {
    std::string ace = std::string(ZEL_SHARED_DIR) + "/ace-samples/";
    return {Fixture("basic.zip"),
            Fixture("three.rar"),
            Fixture("solid.rar"),
            Fixture("method1.arj"),
            Fixture("method4.arj"),
            Fixture("basic.cab"),
            ace + "wdlkmpx-unace_v2_dir2.ace",
            ace + "wdlkmpx-unace_v1_ZGFX2.ace"};
}

std::unique_ptr<CQVArchive> OpenReader(const std::string& path) {
    std::unique_ptr<CQVArchive> reader(CQVArchiveEngine::CreateUnpacker(path.c_str()));
    if (reader && !reader->Open(path.c_str())) reader.reset();
    return reader;
}

// Extracts every file entry under `folder` with `limit`; returns each entry's output path and
// whether its Extract reported a truncation, and adds what the Extracts decoded to `decoded`.
std::map<std::string, bool> ExtractFiles(CQVArchive& reader, const std::string& folder, std::uint64_t limit,
                                         std::uint64_t& decoded) {
    std::map<std::string, bool> truncated;
    decoded = 0;
    platform::MakeFolder(folder);
    reader.SetExtractLimit(limit);
    int end = ErrorOf([&] {
        reader.ExtractFirst();
        for (int i = 0;; ++i) {
            std::string name = reader.GetExtractName();
            std::string destination = folder + "/" + std::to_string(i);
            bool is_folder = name.back() == '\\';
            reader.Extract(destination, is_folder);
            decoded += reader.GetExtractDecodedBytes();
            if (!is_folder) truncated[destination] = reader.WasExtractTruncated();
            reader.ExtractNext();
        }
    });
    EXPECT_EQ(end, CQVArchiveException::eEndOfArchive);
    return truncated;
}

TEST(ExtractSafetyTest, TheLimitWritesEachEntrysBeginningAndLaterEntriesStayWhole) {
    constexpr std::uint64_t kLimit = 1000;
    for (const std::string& archive : Archives()) {
        TempDir out;
        std::unique_ptr<CQVArchive> reader = OpenReader(archive);
        ASSERT_NE(reader, nullptr) << archive;
        std::uint64_t whole_decoded = 0, limited_decoded = 0, whole_bytes = 0, limited_bytes = 0;
        auto whole = ExtractFiles(*reader, out / "whole", 0, whole_decoded);
        ASSERT_TRUE(reader->Open(archive.c_str()));
        auto limited = ExtractFiles(*reader, out / "limited", kLimit, limited_decoded);
        ASSERT_EQ(whole.size(), limited.size()) << archive;
        bool any_truncated = false;
        for (const auto& [path, truncated] : whole) {
            EXPECT_FALSE(truncated);
            std::string bytes = ReadBytes(path);
            std::string cut = out / "limited/" + fs::path(path).filename().string();
            EXPECT_EQ(ReadBytes(cut), bytes.substr(0, kLimit)) << archive << " " << path;
            EXPECT_EQ(limited[cut], bytes.size() > kLimit) << archive << " " << path;
            any_truncated |= limited[cut];
            whole_bytes += bytes.size();
            limited_bytes += std::min<std::uint64_t>(bytes.size(), kLimit);
        }
        EXPECT_TRUE(any_truncated) << archive;
        // Decoding is accounted for whole; a limited pass decodes at least what it writes, and a
        // solid archive everything, since each entry needs the ones before it in full.
        EXPECT_EQ(whole_decoded, whole_bytes) << archive;
        EXPECT_GE(limited_decoded, limited_bytes) << archive;
        EXPECT_LE(limited_decoded, whole_decoded) << archive;
        if (archive.ends_with("solid.rar")) {
            EXPECT_EQ(limited_decoded, whole_decoded);
        }
    }
}

#ifndef _WIN32
// Links and FIFOs as POSIX makes them (Windows has neither FIFOs in folders nor links for a normal
// user).
TEST(ExtractSafetyTest, OnlyARegularFileIsEverReplacedAndNeverWrittenThrough) {
    for (const std::string& archive : Archives()) {
        TempDir out;
        const std::string outside = out / "outside";
        WriteFileBytes(outside, "not to be touched");
        const std::string link = out / "hard", fifo = out / "fifo", folder = out / "folder", symlink = out / "symlink";
        ASSERT_EQ(::link(outside.c_str(), link.c_str()), 0);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        ASSERT_TRUE(platform::MakeFolder(folder));
        ASSERT_EQ(::symlink(outside.c_str(), symlink.c_str()), 0);
        for (const std::string& destination : {link, fifo, folder, symlink}) {
            std::unique_ptr<CQVArchive> reader = OpenReader(archive);
            ASSERT_NE(reader, nullptr) << archive;
            reader->ExtractFirst();
            while (reader->GetExtractName().back() == '\\') {
                reader->Extract("", 1);
                reader->ExtractNext();
            }
            int error = ErrorOf([&] { reader->Extract(destination, 0); });
            // A planted hard link is replaced by the entry, as a new file of its own.
            EXPECT_EQ(error, destination == link ? -1 : CQVArchiveException::eArchiveFailure)
                << archive << " " << destination;
        }
        EXPECT_EQ(ReadBytes(outside), "not to be touched") << archive;
        EXPECT_EQ(platform::KindOf(link), platform::EntryKind::file);
        EXPECT_NE(ReadBytes(link), "not to be touched");
        EXPECT_EQ(platform::KindOf(fifo), platform::EntryKind::other);
        EXPECT_EQ(platform::KindOf(folder), platform::EntryKind::folder);
        EXPECT_EQ(platform::KindOf(symlink), platform::EntryKind::symlink);
        // No new file is left beside the destinations.
        std::vector<std::string> names;
        ASSERT_TRUE(platform::ListFolder(out.path().string(), names));
        EXPECT_EQ(names, (std::vector<std::string>{"fifo", "folder", "hard", "outside", "symlink"})) << archive;
        std::vector<std::string> inside;
        ASSERT_TRUE(platform::ListFolder(folder, inside));
        EXPECT_TRUE(inside.empty());
    }
}
#endif

}  // namespace
}  // namespace zel::test

// The files backend as every caller sees it, on whichever system it is built for: the same
// expectations hold for the POSIX backend and, under Wine, for the Win32 one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;
using zel::testing::TempDir;

// Cyrillic and Japanese: no single code page holds both, so only UTF-8 end to end keeps them.
const std::string kFolderName = "\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0";  // Папка
const std::string kFileName = "\xE8\xA9\xA6\xE9\xA8\x93-\xD0\xA4.ini";       // 試験-Ф.ini

TEST(Files, NonAsciiNamesWorkThroughEveryCall) {
    TempDir dir;
    const std::string folder = dir / (kFolderName + "/" + kFolderName);
    ASSERT_TRUE(MakeFolders(folder));
    EXPECT_EQ(KindOf(folder), EntryKind::folder);
    const std::string file = folder + "/" + kFileName;
    std::string reason, bytes;
    ASSERT_TRUE(WriteFileAtomically(file, "first", reason)) << reason;
    ASSERT_TRUE(WriteFileAtomically(file, "second", reason)) << reason;
    ASSERT_EQ(ReadRegularFile(file, bytes, reason), ReadOutcome::kOk) << reason;
    EXPECT_EQ(bytes, "second");
    std::vector<std::string> names;
    ASSERT_TRUE(ListFolder(folder, names));
    EXPECT_EQ(names, std::vector<std::string>{kFileName});  // nothing left beside it

    const std::string copy = dir / kFileName;
    ASSERT_TRUE(CopyFileReplacing(file, copy, reason)) << reason;
    std::vector<std::uint8_t> head;
    std::uint64_t length = 0;
    ASSERT_TRUE(ReadFileHead(copy, 3, head, &length));
    EXPECT_EQ(std::string(head.begin(), head.end()), "sec");
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(CanonicalPath(copy), CanonicalPath(dir / ("./" + kFileName)));

    EXPECT_TRUE(RemoveFile(copy, reason)) << reason;
    EXPECT_EQ(KindOf(copy), EntryKind::missing);
    RemoveTree(dir / kFolderName);
    EXPECT_EQ(KindOf(dir / kFolderName), EntryKind::missing);
}

TEST(Files, FoldersAndReadOnlyFilesAreHandledAsTheSystemAllows) {
    TempDir dir;
    std::string reason, bytes;
    // A folder is never read, written over or deleted as a file.
    EXPECT_EQ(ReadRegularFile(dir.File(""), bytes, reason), ReadOutcome::kFailed);
    EXPECT_EQ(reason, "it is a folder, not a regular file");
    FileError error;
    EXPECT_EQ(OpenFileHandle(dir.File(""), FileAccess::read, FileCreation::openExisting, error), kNoFileHandle);
    EXPECT_EQ(error.failure, FileFailure::isFolder);
    EXPECT_FALSE(RemoveFile(dir.File(""), reason));
    EXPECT_EQ(ReadRegularFile(dir / "missing", bytes, reason), ReadOutcome::kMissing);

    // A read-only file is replaced, deleted, and made writable on request.
    const std::string locked = dir / "locked.txt";
    ASSERT_TRUE(WriteFileAtomically(locked, "x", reason)) << reason;
    namespace fs = std::filesystem;
    fs::permissions(zel::testing::Utf8Path(locked),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    // Replaced, it keeps its content's new bytes and its read-only state, as an edit by its owner would.
    ASSERT_TRUE(WriteFileAtomically(locked, "y", reason)) << reason;
    EXPECT_EQ(zel::testing::ReadBytes(locked), "y");
    EXPECT_EQ(fs::status(zel::testing::Utf8Path(locked)).permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_TRUE(ClearReadOnly(locked));
    EXPECT_NE(fs::status(zel::testing::Utf8Path(locked)).permissions() & fs::perms::owner_write, fs::perms::none);
    fs::permissions(zel::testing::Utf8Path(locked), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(RemoveFile(locked, reason)) << reason;
    EXPECT_EQ(KindOf(locked), EntryKind::missing);

    // Temporary files and folders are new and unique.
    TempFolder temp("zel-files-");
    ASSERT_FALSE(temp.path().empty());
    EXPECT_TRUE(IsWithinFolder(CanonicalPath(temp.path()), CanonicalPath(SystemTempFolder())));
    std::string one = CreateTempFileIn(temp.path(), "t"), two = CreateTempFileIn(temp.path(), "t");
    EXPECT_FALSE(one.empty());
    EXPECT_NE(one, two);
    EXPECT_EQ(KindOf(two), EntryKind::file);
}

TEST(Files, HandlesReadWriteSeekAndShareAsAsked) {
    TempDir dir;
    const std::string path = dir / kFileName;
    FileError error;
    FileHandle handle =
        OpenFileHandle(path, FileAccess::readWrite, FileCreation::createOrTruncate, FileShare::exclusive, error);
    ASSERT_NE(handle, kNoFileHandle) << error.text;
    ASSERT_TRUE(WriteFileHandle(handle, "0123456789", 10, error));
    EXPECT_EQ(FileHandleLength(handle, error), 10u);
    EXPECT_EQ(SeekFileHandle(handle, -4, FileSeekOrigin::end, error), 6u);
    char buffer[8] = {};
    std::size_t done = 0;
    ASSERT_TRUE(ReadFileHandle(handle, buffer, sizeof buffer, done, error));
    EXPECT_EQ(std::string(buffer, done), "6789");
#ifdef _WIN32
    // Held exclusively, the file cannot be opened again until it is closed.
    FileError refused;
    EXPECT_EQ(OpenFileHandle(path, FileAccess::read, FileCreation::openExisting, refused), kNoFileHandle);
    EXPECT_EQ(refused.failure, FileFailure::accessDenied);
#endif
    EXPECT_TRUE(SyncFileHandle(handle, error));
    EXPECT_TRUE(CloseFileHandle(handle, error));
    // Kept content with createOrKeep; a second reader is welcome when nobody denies it.
    FileHandle first = OpenFileHandle(path, FileAccess::read, FileCreation::createOrKeep, FileShare::denyWrite, error);
    FileHandle second = OpenFileHandle(path, FileAccess::read, FileCreation::openExisting, FileShare::denyWrite, error);
    ASSERT_NE(first, kNoFileHandle);
    ASSERT_NE(second, kNoFileHandle);
    EXPECT_EQ(FileHandleLength(second, error), 10u);
    CloseFileHandle(first, error);
    CloseFileHandle(second, error);
}

}  // namespace

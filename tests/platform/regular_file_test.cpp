// Careful reading and replacing of files that others may have put in our way.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

using namespace zel::platform;
namespace fs = std::filesystem;

struct stat StatOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

TEST(RegularFile, OnlyRegularFilesAreReadAndReplacementsKeepOwnerGroupModeAndLinks) {
    zel::testing::TempDir dir;
    std::string bytes, reason;
    EXPECT_EQ(ReadRegularFile(dir.File("missing"), bytes, reason), ReadOutcome::kMissing);
    // A FIFO with no writer would block an ordinary open for reading.
    ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadRegularFile(dir.File("fifo"), bytes, reason), ReadOutcome::kFailed);
    EXPECT_EQ(reason, "it is a FIFO, not a regular file");
    EXPECT_FALSE(WriteFileAtomically(dir.File("fifo"), "x", reason));
    EXPECT_EQ(NonRegularKind(dir.File("fifo")), "a FIFO");
    EXPECT_EQ(ReadRegularFile("/dev/null", bytes, reason), ReadOutcome::kFailed);
    EXPECT_EQ(reason, "it is a character device, not a regular file");

    // A link is never turned into a plain file, and what it leads to stays as it was.
    std::string real = dir.File("real.ini");
    ASSERT_TRUE(WriteFileAtomically(real, "old", reason)) << reason;
    fs::create_symlink(real, dir.File("link.ini"));
    EXPECT_FALSE(WriteFileAtomically(dir.File("link.ini"), "new", reason));
    EXPECT_EQ(reason, "it is a symbolic link, which is not replaced by a plain file");
    EXPECT_TRUE(fs::is_symlink(dir.File("link.ini")));
    ASSERT_EQ(ReadRegularFile(dir.File("link.ini"), bytes, reason), ReadOutcome::kOk);
    EXPECT_EQ(bytes, "old");
    // A copy over the link is refused alike, and says so.
    std::string error;
    EXPECT_FALSE(CopyFileReplacing(real, dir.File("link.ini"), error));
    EXPECT_EQ(error, "cannot replace " + dir.File("link.ini") +
                         ": it is a symbolic link, which is not replaced by a plain file");

    if (::geteuid() != 0) GTEST_SKIP() << "keeping another user's ownership needs root";
    // Root editing a user's file leaves it the user's, with its mode; a new file in the user's
    // folder becomes the user's too. Nothing is left beside them.
    ASSERT_EQ(::chown(real.c_str(), 4321, 4322), 0);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomically(real, "new", reason)) << reason;
    struct stat info = StatOf(real);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    fs::create_directory(dir.File("user"));
    ASSERT_EQ(::chown(dir.File("user").c_str(), 4321, 4322), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("user/new.ini"), "x", reason)) << reason;
    EXPECT_EQ(StatOf(dir.File("user/new.ini")).st_uid, 4321u);
    EXPECT_EQ(StatOf(dir.File("user/new.ini")).st_gid, 4322u);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 4u);  // fifo, real.ini, link.ini, user: no temporary file left
}

}  // namespace

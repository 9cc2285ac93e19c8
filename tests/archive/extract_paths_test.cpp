// zel's rules for where an archive entry may be extracted.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tools/zel/archive_walk.h"

namespace zel::cli {
namespace {

TEST(ExtractPathsTest, KeepsNamesInsideTheFolder) {
    EXPECT_EQ(SafeRelativePath("a\\b\\c.txt"), "a/b/c.txt");
    EXPECT_EQ(SafeRelativePath("a/./b//c.txt"), "a/b/c.txt");
    EXPECT_EQ(SafeRelativePath("dir\\"), "dir/");
    EXPECT_EQ(SafeRelativePath("..foo/x..y"), "..foo/x..y");
}

TEST(ExtractPathsTest, RefusesNamesThatLeaveTheFolder) {
    for (const char* name :
         {"../x", "a/../../x", "a\\..\\b", "/etc/passwd", "\\abs", "C:\\x", "c:x", "", ".", "./", "..", "a/.."}) {
        EXPECT_EQ(SafeRelativePath(name), std::nullopt) << name;
    }
    EXPECT_EQ(SafeRelativePath(std::string("a\0b", 3)), std::nullopt);
}

#ifndef _WIN32
TEST(ExtractPathsTest, RefusesPathsThroughSymbolicLinks) {
    zel::testing::TempDir folder;
    ASSERT_TRUE(platform::MakeFolder(folder / "real"));
    ASSERT_EQ(::symlink("/tmp", (folder / "link").c_str()), 0);
    EXPECT_TRUE(StaysInside(folder.path().string(), "real/file.txt"));
    EXPECT_TRUE(StaysInside(folder.path().string(), "new/file.txt"));
    EXPECT_FALSE(StaysInside(folder.path().string(), "link/file.txt"));
    EXPECT_FALSE(StaysInside(folder.path().string(), "link"));
}
#endif

}  // namespace
}  // namespace zel::cli

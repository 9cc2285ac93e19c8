#include "updater/core/text_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace zel::updater::test {
namespace {

TEST(TextFileWriterTest, KeptOpenTruncatesAndWritesInOrder) {
    TempDir dir;
    WriteFile(dir / "log.txt", "old content");
    CTextFileWriter writer;
    writer.Open(dir / "log.txt", 0, 1);
    EXPECT_EQ(ReadBytes(dir / "log.txt"), "");
    writer.Write("one\r\n");
    writer.Write(std::string("t\0o", 3));
    writer.Close();
    EXPECT_EQ(ReadBytes(dir / "log.txt"), std::string("one\r\nt\0o", 8));
    writer.Write("after close");
    EXPECT_EQ(ReadBytes(dir / "log.txt"), std::string("one\r\nt\0o", 8));
}

TEST(TextFileWriterTest, AppendModeOpensForEveryWrite) {
    TempDir dir;
    WriteFile(dir / "log.txt", "old|");
    CTextFileWriter writer;
    writer.Open(dir / "log.txt", 1, 0);
    writer.Write("a|");
    WriteFile(dir / "log.txt", ReadBytes(dir / "log.txt") + "other|");  // another program appends
    writer.Write("b");
    EXPECT_EQ(ReadBytes(dir / "log.txt"), "old|a|other|b");
}

TEST(TextFileWriterTest, NothingIsWrittenWithoutAPathOrAFile) {
    TempDir dir;
    {
        CTextFileWriter writer;
        writer.Write("x");
    }
    EXPECT_TRUE(FilesStartingWith(dir.path().string(), "").empty());
    CTextFileWriter writer;
    writer.Open(dir / "missing/log.txt", 0, 1);  // cannot be created: writes are dropped
    writer.Write("x");
    std::filesystem::create_directories(dir / "missing");
    writer.Write("x");  // ... until Close, even once the file could be made
    EXPECT_FALSE(FileExists(dir / "missing/log.txt"));
    std::filesystem::remove(dir / "missing");
    writer.Open(dir / "missing/log.txt", 1, 0);
    writer.Write("y");
    EXPECT_FALSE(FileExists(dir / "missing/log.txt"));
    writer.Open(dir / "new.txt", 1, 1);  // append creates a missing file
    writer.Write("z");
    writer.Close();
    EXPECT_EQ(ReadBytes(dir / "new.txt"), "z");
}

}  // namespace
}  // namespace zel::updater::test

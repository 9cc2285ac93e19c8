#include "platform/file_head.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

TEST(FileHead, ReadsUpToTheLimitAndTellsTheWholeLengthOrWhyNot) {
    zel::testing::TempDir dir;
    zel::testing::WriteBytes(dir.File("ten"), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    std::vector<BYTE> bytes;
    std::uint64_t length = 0;
    ASSERT_TRUE(zel::ReadFileHead(dir.File("ten"), CFile::modeRead, 4, bytes, &length));
    EXPECT_EQ(bytes, (std::vector<BYTE>{0, 1, 2, 3}));
    EXPECT_EQ(length, 10u);
    ASSERT_TRUE(zel::ReadFileHead(dir.File("ten"), CFile::modeRead, 100, bytes));
    EXPECT_EQ(bytes.size(), 10u);

    CFileException error(CFileException::none);
    EXPECT_FALSE(zel::ReadFileHead(dir.File("missing"), CFile::modeRead, 4, bytes, nullptr, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
}

}  // namespace

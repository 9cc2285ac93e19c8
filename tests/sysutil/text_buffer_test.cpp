#include "sysutil/text_buffer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sysutil/text_compare.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(TextCompare, PrefixResultsTellShorterMismatchAndPrefix) {
    EXPECT_EQ(CompareTextPrefix("rem echo", "rem", 0), -1);
    EXPECT_EQ(CompareTextPrefix("rem", "rem", 0), 0);
    EXPECT_EQ(CompareTextPrefix("re", "rem", 0), 1);
    EXPECT_EQ(CompareTextPrefix("run=x", "rem", 0), 2);
    EXPECT_EQ(CompareTextPrefix("REM x", "rem", 1), -1);
    EXPECT_EQ(CompareTextPrefix("REM x", "rem", 0), 2);
    EXPECT_EQ(CompareTextPrefix("", "", 1), 0);
}

TEST(TextCompare, OnlyAsciiLettersFold) {
    EXPECT_EQ(CharsEqual(0x41, 0x61, 1), 1);
    EXPECT_EQ(CharsEqual(0xC4, 0xE4, 1), 0);
    EXPECT_EQ(CharsEqual(0x41, 0x61, 0), 0);
    EXPECT_EQ(LowerAscii('Z'), 'z');
    EXPECT_EQ(LowerAscii('['), '[');
    EXPECT_EQ(LowerAscii(0xC0), 0xC0);
}

TEST(TextBuffer, FindCharBoundsAndDirections) {
    CTextBuffer empty;
    for (int from : {-1, 0, 1}) {
        for (int to : {-1, 0, 1}) EXPECT_EQ(empty.FindChar('a', from, to, 0), -1);
    }
    CTextBuffer buffer("abcabc");
    EXPECT_EQ(buffer.FindChar('a', buffer.GetLength(), -1, 0), -1);
    EXPECT_EQ(buffer.FindChar('a', 1, -1, 0), 3);
    EXPECT_EQ(buffer.FindChar('a', -1, 0, 0), 3);  // backward from the last byte
    EXPECT_EQ(buffer.FindChar('C', 0, -1, 1), 2);
    EXPECT_EQ(buffer.FindChar('C', 0, -1, 0), -1);
    EXPECT_EQ(buffer.FindChar('c', 0, 1, 0), -1);
    EXPECT_EQ(buffer.FindChar('a', -2, 3, 0), -1);
}

TEST(TextBuffer, FindStringBoundsOnlyTheStart) {
    CTextBuffer buffer("xx load=a.exe");
    EXPECT_EQ(buffer.FindString("load", 0, 3, 0), 3);  // runs past `to`
    EXPECT_EQ(buffer.FindString("load", 0, 2, 0), -1);
    EXPECT_EQ(buffer.FindString("A.EXE", 0, -1, 1), 8);
    EXPECT_EQ(buffer.FindString("A.EXE", 0, -1, 0), -1);
    EXPECT_EQ(buffer.FindString("x", -1, 0, 0), 11);  // backward finds the last x first
    EXPECT_EQ(buffer.FindString("xx", -1, 0, 0), 0);
    EXPECT_EQ(buffer.FindString("q", -1, 0, 0), -1);
    EXPECT_EQ(buffer.FindString("", 0, -1, 0), -1);
    // A backward scan that runs off the front must stop, not wrap to the last byte.
    CTextBuffer tail("a.exe b");
    EXPECT_EQ(tail.FindString("ab", -1, 0, 0), -1);
}

TEST(TextBuffer, InsertAndErase) {
    CTextBuffer buffer("abcdef");
    buffer.Insert("x", 0);
    EXPECT_STREQ(buffer.GetData(), "xabcdef");
    buffer.Insert("y", -1);
    EXPECT_STREQ(buffer.GetData(), "xabcdefy");
    buffer.Insert("z", 3);
    EXPECT_STREQ(buffer.GetData(), "xabzcdefy");
    buffer.Insert("!", 100);  // outside the buffer: nothing
    EXPECT_EQ(buffer.GetLength(), 9);

    CTextBuffer ten("0123456789");
    ten.Erase(5, 1000);
    EXPECT_STREQ(ten.GetData(), "01234");
    ten.Erase(1, 2);
    EXPECT_STREQ(ten.GetData(), "034");
    ten.Erase(3, 1);
    ten.Erase(-1, 1);
    EXPECT_EQ(ten.GetLength(), 3);
    ten.Erase(0, 0x7fffffff);  // no overflow in pos + count
    EXPECT_EQ(ten.GetLength(), 0);
    EXPECT_STREQ(ten.GetData(), "");
}

TEST(TextBuffer, Lines) {
    CTextBuffer buffer("one\r\ntwo\nthree");
    EXPECT_EQ(buffer.LineStart(0), 0);
    EXPECT_EQ(buffer.LineStart(2), 0);
    EXPECT_EQ(buffer.LineStart(6), 5);  // after CR LF
    EXPECT_EQ(buffer.LineStart(-1), 9);
    EXPECT_EQ(buffer.NextLineStart(0), 5);
    EXPECT_EQ(buffer.NextLineStart(6), 9);
    EXPECT_EQ(buffer.NextLineStart(9), -1);
    CTextBuffer last_lf("ab\n");
    EXPECT_EQ(last_lf.NextLineStart(0), -1);
    CTextBuffer empty;
    EXPECT_EQ(empty.LineStart(0), 0);
    EXPECT_EQ(empty.NextLineStart(0), -1);
}

TEST(TextBuffer, MidAndGetAt) {
    CTextBuffer buffer("abcdef");
    EXPECT_EQ(buffer.Mid(2, -1), "cdef");
    EXPECT_EQ(buffer.Mid(2, 2), "cd");
    EXPECT_EQ(buffer.Mid(5, 100), "f");
    EXPECT_EQ(buffer.Mid(6, 1), "");
    EXPECT_EQ(buffer.Mid(7, 1), "");
    EXPECT_EQ(buffer.Mid(3, 0x7fffffff), "def");
    EXPECT_STREQ(buffer.GetAt(4), "ef");
    EXPECT_STREQ(buffer.GetAt(6), "");
    EXPECT_STREQ(buffer.GetAt(-3), "");
}

class TextBufferFiles : public ::testing::Test {
protected:
    zel::testing::TempDir m_temp;
    std::filesystem::path m_dir = m_temp.path();
};

TEST_F(TextBufferFiles, LoadKeepsBytesAndSaveReplaces) {
    auto path = (m_dir / "a.ini").string();
    std::string bytes("x\r\ny\0z\xff", 7);
    std::ofstream(path, std::ios::binary) << bytes;
    CTextBuffer buffer("old");
    ASSERT_EQ(buffer.LoadFile(path), 1);
    EXPECT_EQ(buffer.GetLength(), 7);
    EXPECT_EQ(buffer.Mid(0, -1), bytes);
    buffer.Insert("REM ", 0);
    ASSERT_EQ(buffer.SaveFile(path), 1);
    std::ifstream in(path, std::ios::binary);
    std::string saved(static_cast<std::size_t>(std::filesystem::file_size(path)), '\0');
    in.read(saved.data(), static_cast<std::streamsize>(saved.size()));
    EXPECT_EQ(saved, "REM " + bytes);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir), {}), 1);  // no temp left
}

TEST_F(TextBufferFiles, MissingFileLeavesContent) {
    CTextBuffer buffer("keep");
    EXPECT_EQ(buffer.LoadFile((m_dir / "missing").string()), 0);
    EXPECT_STREQ(buffer.GetData(), "keep");
    EXPECT_EQ(buffer.SaveFile((m_dir / "no" / "folder").string()), 0);
}

}  // namespace

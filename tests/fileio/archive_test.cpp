#include "fileio/archive.h"

#include <gtest/gtest.h>

#include "fileio/mem_file.h"

namespace {

std::vector<BYTE> Store(const CString& text) {
    CMemFile file;
    CArchive archive(&file, CArchive::store);
    archive << text;
    archive.Close();
    return file.Data();
}

CString Load(std::vector<BYTE> bytes) {
    CMemFile file(std::move(bytes));
    CArchive archive(&file, CArchive::load);
    CString text;
    archive >> text;
    return text;
}

TEST(ArchiveStringTest, LengthPrefixGrowsAtEachBoundary) {
    struct Case {
        size_t length;
        size_t prefix;
    };
    for (Case c : {Case{0, 1}, Case{254, 1}, Case{255, 3}, Case{65533, 3}, Case{65534, 7}, Case{70000, 7}}) {
        CString text(c.length, 'x');
        auto bytes = Store(text);
        ASSERT_EQ(bytes.size(), c.length + c.prefix) << c.length;
        EXPECT_EQ(Load(bytes), text) << c.length;
    }
    auto bytes = Store(CString(65534, 'y'));
    EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 7),
              (std::vector<BYTE>{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
}

TEST(ArchiveStringTest, ReadsWideFormAsWindows1252) {
    // 0xFF 0xFFFE announces 16-bit characters; then length 3 and "A", EURO SIGN, a CJK character.
    std::vector<BYTE> bytes = {0xFF, 0xFE, 0xFF, 3, 'A', 0, 0xAC, 0x20, 0x2D, 0x4E};
    EXPECT_EQ(Load(bytes), "A\x80?");
}

TEST(ArchiveStringTest, LengthBeyondTheDataIsATruncation) {
    EXPECT_THROW(Load({5, 'a', 'b'}), CArchiveException);
    EXPECT_THROW(Load({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}), CArchiveException);
    EXPECT_THROW(Load({0xFF, 0xFE, 0xFF, 2, 'a', 0, 'b'}), CArchiveException);
    EXPECT_THROW(Load({}), CArchiveException);
}

TEST(ArchiveIntegerTest, LittleEndianAcrossBufferRefills) {
    CMemFile file;
    {
        CArchive out(&file, CArchive::store, 16);
        for (DWORD i = 0; i < 100; ++i) out << static_cast<BYTE>(i) << static_cast<WORD>(i * 300) << i * 70000u;
        out.Close();
    }
    EXPECT_EQ(file.Data().size(), 700u);
    EXPECT_EQ(file.Data()[1], BYTE{0});
    file.Seek(0, CFile::begin);
    CArchive in(&file, CArchive::load, 16);
    for (DWORD i = 0; i < 100; ++i) {
        BYTE b;
        WORD w;
        DWORD d;
        in >> b >> w >> d;
        ASSERT_EQ(b, static_cast<BYTE>(i));
        ASSERT_EQ(w, static_cast<WORD>(i * 300));
        ASSERT_EQ(d, i * 70000u);
    }
    EXPECT_EQ(in.GetRemaining(), 0u);
    BYTE extra;
    EXPECT_THROW(in >> extra, CArchiveException);
}

}  // namespace
